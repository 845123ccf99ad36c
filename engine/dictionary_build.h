#pragma once
// The build of both dictionary files from one reading of the ministry file. Both images are
// complete before either file is replaced, and then both are replaced together, so a directory
// never holds a pair built from different sources.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kompa {

// The build strings of a ministry file side by side in one block of bytes, so a build allocates
// nothing per line. A build string is the record text behind one placeholder byte.
class BuildStrings {
public:
    explicit BuildStrings(std::size_t sizeHint);
    // Reads every line of the ministry file, in line order.
    static BuildStrings Read(const std::string& sourceFileName);

    void Add(std::string_view s);
    int Count() const { return static_cast<int>(ends_.size()); }
    std::string_view operator[](int i) const
    {
        const auto at = static_cast<std::size_t>(i);
        const std::size_t start = at == 0 ? 0 : ends_[at - 1];
        return std::string_view(bytes_).substr(start, ends_[at] - start);
    }

private:
    std::string bytes_;
    std::vector<std::uint32_t> ends_;
};

// Builds dir's KOMPA.DIC and VELDA.DIC from the ministry file. Fails with
// "ﾌｧｲﾙ %s を作成できません" while a reader holds either file, leaving both as they were;
// temporary files are removed on every failure, and those a killed build left are removed too.
void MakeDictionaries(const std::string& sourceFileName, const std::string& dir);

} // namespace kompa
