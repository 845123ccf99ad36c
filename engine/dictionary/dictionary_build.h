#pragma once
// The build of both dictionary files from one reading of the ministry file, and of the office
// dictionary from the business-office file. Every image is complete before any file is replaced,
// and then all the files of one build are replaced together, so a directory never holds a pair
// built from different sources.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "office_build.h"

namespace kompa {

class TCodeAddress;

// The build strings of a ministry file side by side in one block of bytes, so a build allocates
// nothing per line. A build string is the record text behind one placeholder byte.
class BuildStrings {
public:
    explicit BuildStrings(std::size_t sizeHint);
    // Reads every line of the ministry file, in line order.
    static BuildStrings Read(const std::string& sourceFileName);
    // The same from the file's text, already decoded.
    static BuildStrings FromText(std::string_view text);

    void Add(std::string_view s);
    // Puts each string's length into its placeholder byte: the strings are then the records.
    void PlaceLengths();
    // Takes the strings of more (which has taken none itself) after these, without copying.
    void Append(BuildStrings&& more);
    int Count() const { return headCount_ + static_cast<int>(ends_.size()); }
    std::string_view operator[](int i) const
    {
        if (i < headCount_)
            return (*head_)[i];
        const auto at = static_cast<std::size_t>(i - headCount_);
        const std::size_t start = at == 0 ? 0 : ends_[at - 1];
        return std::string_view(bytes_).substr(start, ends_[at] - start);
    }

private:
    // The strings of a large source that needs no decoding, read straight from the file; none
    // when the source is anything else.
    static std::optional<BuildStrings> ReadPlainSource(const std::string& sourceFileName);

    // The strings before these, when two halves were read apart.
    std::unique_ptr<BuildStrings> head_;
    int headCount_ = 0;
    std::string bytes_;
    std::vector<std::uint32_t> ends_;
};

// A dictionary file as its header and index, then its records as runs of the bytes they lie in,
// so the file is written from them without being put together in memory first.
struct ImagePlan {
    std::string head;
    std::vector<std::string_view> records;
};

// The plan of dict's file over records (build strings after PlaceLengths): header, index sorted
// by key, then each block's records in line order. For the two classes, whose keys never read
// the length byte.
ImagePlan PlanImage(const TCodeAddress& dict, const BuildStrings& records);

// One file a replacement puts in place, and its bytes.
struct TNewFile {
    std::string name; // in the directory replaced into
    ImagePlan plan;
};
// Replaces the files of folder (ending with "/", or empty for the current directory) with the
// new ones, all or none, as one set with the journal and companion of engine/io/file_set.h: each is
// written (on a thread of its own) and put on disk first, a failure before the last is in place
// puts back the old ones, and a kill is completed by the next open or build. Refuses with
// "ﾌｧｲﾙ %s を作成できません" (and why) a file a reader holds, or one that could not be
// overwritten, before anything is written.
void ReplaceFilesTogether(const std::string& folder, const std::vector<TNewFile>& files);

// A data file given to a build, and its kind: told from its first line, or an office file because
// the caller says so. The decoded text is kept when it had to be decoded to tell.
struct TBuildSource {
    std::string fileName;
    TSourceKind kind = TSourceKind::Residential;
    std::optional<std::string> text;
};
TBuildSource ReadBuildSource(const std::string& fileName, bool office = false);
// Raises "%s と %s はどちらも同じ種類のデータファイルです" when two sources are of one kind.
void CheckSourceKinds(const std::vector<TBuildSource>& sources);

// A file the same replacement writes beside the dictionaries, as it is.
struct TFileCopy {
    std::string name;
    std::string bytes;
};

// What a build replaced.
struct TBuiltFiles {
    bool pair = false;    // KOMPA.DIC and VELDA.DIC
    bool offices = false; // OFFICE.DIC
};

// Builds into dir from sources, at most one of each kind (two of one kind fail with
// "%s と %s はどちらも同じ種類のデータファイルです"): the pair from a residential file, OFFICE.DIC
// from an office file. Every file built, and every copy, is replaced together with the others;
// the files of a kind not given stay as they are. Fails with "ﾌｧｲﾙ %s を作成できません" while a
// reader holds one of them, leaving all as they were; temporary files are removed on every
// failure, and those a killed build left are removed too.
TBuiltFiles MakeDictionaryFiles(const std::vector<TBuildSource>& sources, const std::string& dir,
                                const std::vector<TFileCopy>& copies = {});

} // namespace kompa
