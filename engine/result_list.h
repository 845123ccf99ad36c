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
    void BeginUpdate() override { ++updateDepth; ++updateCount; }
    void EndUpdate() override { --updateDepth; }
    int Count() const override { return static_cast<int>(lines.size()); }

    std::vector<std::string> lines;
    int updateDepth = 0;  // open brackets right now
    int updateCount = 0;  // brackets opened so far
};

}  // namespace kompa
