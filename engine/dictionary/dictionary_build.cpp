// Building the dictionary files: each source read once, every image laid out, then all the files
// of the build replaced as one set (engine/io/file_set.h), so a failure or a kill anywhere leaves
// the old files or, once the next open has completed the set, the new ones.

#include "dictionary_build.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <exception>
#include <thread>
#include <vector>

#include "dictionary.h"
#include "engine/io/both_at_once.h"
#include "engine/io/errors.h"
#include "engine/io/file_io.h"
#include "engine/io/file_set.h"
#include "engine/io/messages.h"
#include "engine/source/source_text.h"
#include "office_dictionary.h"

namespace kompa {

namespace {

// Writes the plan's bytes in order, gathered straight from where they lie, and starts each
// piece written on its way to the disk at once, so the disk works while the next piece is
// copied and the final flush has only the last one to wait for.
bool WritePlan(int fd, const ImagePlan& plan)
{
    constexpr std::size_t kPiece = 512 * 1024;
    std::vector<iovec> parts;
    parts.reserve(plan.records.size() + 1);
    parts.push_back({const_cast<char*>(plan.head.data()), plan.head.size()});
    for (const std::string_view run : plan.records)
        parts.push_back({const_cast<char*>(run.data()), run.size()});
    std::size_t at = 0;
    std::size_t written = 0;
    std::size_t started = 0; // bytes already on their way to the disk
    while (at < parts.size()) {
        // About a piece at a time.
        std::size_t count = 1;
        for (std::size_t bytes = parts[at].iov_len;
             at + count < parts.size() && count < IOV_MAX && bytes < kPiece; ++count)
            bytes += parts[at + count].iov_len;
        const ssize_t n = ::writev(fd, &parts[at], static_cast<int>(count));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        written += static_cast<std::size_t>(n);
        for (auto left = static_cast<std::size_t>(n); left > 0;) {
            iovec& part = parts[at];
            if (left < part.iov_len) {
                part.iov_base = static_cast<char*>(part.iov_base) + left;
                part.iov_len -= left;
                break;
            }
            left -= part.iov_len;
            ++at;
        }
        while (at < parts.size() && parts[at].iov_len == 0)
            ++at;
        if (written - started >= kPiece || at == parts.size()) {
            // Only a hint: where it fails, the flush does all the work.
            ::sync_file_range(fd, static_cast<off_t>(started),
                              static_cast<off_t>(written - started), SYNC_FILE_RANGE_WRITE);
            started = written;
        }
    }
    return true;
}

// Runs work(i) for every i below count at once, each on a thread of its own (the first here),
// and rethrows the failure of the lowest i that failed.
template <class Work> void EachAtOnce(std::size_t count, Work&& work)
{
    std::vector<std::exception_ptr> failed(count);
    std::vector<std::thread> others;
    for (std::size_t i = 1; i < count; ++i)
        others.emplace_back([&, i] {
            try {
                work(i);
            } catch (...) {
                failed[i] = std::current_exception();
            }
        });
    if (count > 0) {
        try {
            work(0);
        } catch (...) {
            failed[0] = std::current_exception();
        }
    }
    for (std::thread& other : others)
        other.join();
    for (const std::exception_ptr& e : failed)
        if (e)
            std::rethrow_exception(e);
}

// The plans of the pair, from the records of a ministry file.
void PlanPair(BuildStrings& records, std::vector<TNewFile>& files)
{
    // Each image is laid out, and later written, on its own thread. Failures are reported as a
    // build of the address dictionary first would report them. The records are the build
    // strings with their lengths in place, and both files are written from them, so no image is
    // put together in memory.
    records.PlaceLengths();
    ImagePlan plans[2];
    BothAtOnce([&](int i) {
        plans[i] = i == 0 ? PlanImage(TPostCode(), records) : PlanImage(TCodeAddress(), records);
    });
    files.push_back({kAddressDictName, std::move(plans[0])});
    files.push_back({kCodeDictName, std::move(plans[1])});
}

std::string Folder(const std::string& dir)
{
    return dir.empty() || dir.back() == '/' ? dir : dir + "/";
}

// How far the first line of a source is looked for.
constexpr std::size_t kHeadLook = 65536;

} // namespace

void ReplaceFilesTogether(const std::string& folder, const std::vector<TNewFile>& files)
{
    std::vector<std::string> names;
    names.reserve(files.size());
    for (const TNewFile& file : files)
        names.push_back(file.name);
    io::FileSetReplacement set(folder, std::move(names), kDictionarySetName);
    // Only the pair is read together; OFFICE.DIC may be replaced on its own, by hand too.
    set.RecordOnly({kAddressDictName, kCodeDictName});
    EachAtOnce(files.size(), [&](std::size_t i) {
        set.Write(i, [&plan = files[i].plan](int fd) { return WritePlan(fd, plan); });
    });
    set.Commit();
}

TBuildSource ReadBuildSource(const std::string& fileName, bool office)
{
    TBuildSource source{fileName, TSourceKind::Office, std::nullopt};
    if (!office) {
        // A Shift-JIS file with CR line ends, as published, tells its kind by its first line as
        // it lies; the residential build then reads it straight from the file.
        long long size = 0;
        const io::UniqueFd fd = OpenSource(fileName, size);
        std::string head(kHeadLook, '\0');
        const ssize_t n = ::pread(fd.Get(), head.data(), head.size(), 0);
        head.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        const std::size_t cr = head.find('\r');
        if (cr != std::string::npos &&
            IsPlainSourceHead(std::string_view(head).substr(0, cr + 1))) {
            source.kind = KindOfSourceText(std::string_view(head).substr(0, cr + 1));
            return source;
        }
    }
    source.text = ReadSourceText(fileName);
    if (!office)
        source.kind = KindOfSourceText(*source.text);
    return source;
}

void CheckSourceKinds(const std::vector<TBuildSource>& sources)
{
    for (std::size_t i = 0; i < sources.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (sources[j].kind == sources[i].kind)
                Raise(FormatMessage(FormatMessage(msg::kSourcesOfOneKind, sources[j].fileName),
                                    sources[i].fileName));
}

TBuiltFiles MakeDictionaryFiles(const std::vector<TBuildSource>& sources, const std::string& dir,
                                const std::vector<TFileCopy>& copies)
{
    io::IgnoreFileSizeSignal();
    CheckSourceKinds(sources);
    const TBuildSource* ofKind[2] = {nullptr, nullptr}; // residential, office
    for (const TBuildSource& source : sources)
        ofKind[source.kind == TSourceKind::Office ? 1 : 0] = &source;
    // The plans point into the records and the office image, which outlive the replacement.
    // The office image is laid out beside the pair's, on a thread of its own; a failure of the
    // pair's is reported first.
    std::vector<TNewFile> files;
    std::optional<BuildStrings> records;
    ImagePlan officePlan;
    BothAtOnce([&](int i) {
        if (i == 0 && ofKind[0]) {
            const TBuildSource& residential = *ofKind[0];
            records.emplace(residential.text ? BuildStrings::FromText(*residential.text)
                                             : BuildStrings::Read(residential.fileName));
            PlanPair(*records, files);
        } else if (i == 1 && ofKind[1]) {
            const TBuildSource& offices = *ofKind[1];
            officePlan.head =
                OfficeImage(offices.text ? std::string_view(*offices.text)
                                         : std::string_view(ReadSourceText(offices.fileName)));
        }
    });
    if (ofKind[1])
        files.push_back({kOfficeDictName, std::move(officePlan)});
    for (const TFileCopy& copy : copies)
        files.push_back({copy.name, ImagePlan{{}, {std::string_view(copy.bytes)}}});
    ReplaceFilesTogether(Folder(dir), files);
    return {ofKind[0] != nullptr, ofKind[1] != nullptr};
}

} // namespace kompa
