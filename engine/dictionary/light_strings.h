#pragma once
// TLightStrings: the program's own growable list of byte strings, with explicit capacity
// control, text and line-file input/output and comma text.
//
// Capacity and Count report the list's own numbers (Add grows the capacity 32 slots at a time);
// the storage beneath grows geometrically, so filling a list entry by entry stays linear.

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace kompa {

namespace io {
class TextFileReader;
}

class TLightStrings {
public:
    static constexpr int kMaxListSize = 134217727;

    TLightStrings() = default;
    virtual ~TLightStrings();
    TLightStrings(const TLightStrings&) = delete;
    TLightStrings& operator=(const TLightStrings&) = delete;

    int Add(std::string s);
    void Clear();
    const std::string& Get(int index) const;
    void Put(int index, std::string s);
    const std::string& operator[](int index) const { return Get(index); }

    int Count() const { return FCount; }
    int Capacity() const { return FCapacity; }

    virtual std::string GetTextStr() const;
    virtual void SetTextStr(std::string_view value);
    virtual void SetCount(int newCount);
    virtual void SetCapacity(int newCapacity);
    virtual void SetCommaText(std::string_view value);
    virtual std::string GetCommaText() const;
    [[noreturn]] virtual void Error() const;
    virtual void SaveToStream(std::ostream& stream) const;
    virtual void LoadFromStream(std::istream& stream);
    virtual int IndexOf(std::string_view s) const;

    // Text-file line rules: CR ends a line, an LF right after it belongs to the line end,
    // a lone LF is an ordinary byte, 0x1A ends the file. I/O failures raise kompa::Exception
    // with the system's message.
    void LoadFromFile(const std::string& fileName);
    // The same from a reader already open.
    void LoadFromReader(io::TextFileReader& reader);
    // Every entry followed by CR LF.
    void SaveToFile(const std::string& fileName) const;

protected:
    std::vector<std::string> FList; // FList.size() == FCount
    int FCount = 0;
    int FCapacity = 0;
};

} // namespace kompa
