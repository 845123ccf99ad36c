#pragma once
// The caller's list of display lines. A query empties it and adds its lines between
// BeginUpdate and EndUpdate, so a view bound to it redraws once. The windows bind a list box
// to it; the command line and the tests use TStringResultList.

#include <string>
#include <string_view>
#include <vector>

namespace kompa {

class TResultList {
public:
    virtual ~TResultList() = default;
    virtual void Clear() = 0;
    virtual void Add(std::string_view line) = 0;
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    virtual int Count() const = 0;
};

// Closes the update bracket on every way out.
class UpdateBracket {
public:
    explicit UpdateBracket(TResultList& list) : list_(list) { list_.BeginUpdate(); }
    ~UpdateBracket() { list_.EndUpdate(); }
    UpdateBracket(const UpdateBracket&) = delete;
    UpdateBracket& operator=(const UpdateBracket&) = delete;

private:
    TResultList& list_;
};

// A plain in-memory result list. Counts the update brackets so tests can check they balance.
class TStringResultList : public TResultList {
public:
    void Clear() override { lines.clear(); }
    void Add(std::string_view line) override { lines.emplace_back(line); }
    void BeginUpdate() override
    {
        ++updateDepth;
        ++updateCount;
    }
    void EndUpdate() override { --updateDepth; }
    int Count() const override { return static_cast<int>(lines.size()); }

    std::vector<std::string> lines;
    int updateDepth = 0; // open brackets right now
    int updateCount = 0; // brackets opened so far
};

// A result list that keeps its lines side by side in one buffer: a long answer costs no
// allocation per line.
class TTextResultList : public TResultList {
public:
    void Clear() override
    {
        text_.clear();
        ends_.clear();
    }
    void Add(std::string_view line) override
    {
        text_.append(line);
        ends_.push_back(text_.size());
    }
    void BeginUpdate() override {}
    void EndUpdate() override {}
    int Count() const override { return static_cast<int>(ends_.size()); }
    std::string_view Line(int i) const
    {
        const auto at = static_cast<std::size_t>(i);
        const std::size_t start = at == 0 ? 0 : ends_[at - 1];
        return std::string_view(text_).substr(start, ends_[at] - start);
    }

private:
    std::string text_;
    std::vector<std::size_t> ends_;
};

} // namespace kompa
