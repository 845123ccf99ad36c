// Building the pair of dictionary files: the source split once, both images laid out, then both
// files replaced as one set (engine/file_set.h), so a failure or a kill anywhere leaves the old
// pair or, once the next open has completed it, the new one.

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

#include "both_at_once.h"
#include "dictionary.h"
#include "errors.h"
#include "file_io.h"
#include "file_set.h"
#include "messages.h"

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

} // namespace

void ReplaceFilesTogether(const std::string& folder, const std::vector<TNewFile>& files)
{
    std::vector<std::string> names;
    for (const TNewFile& file : files)
        names.push_back(file.name);
    io::FileSetReplacement set(folder, std::move(names), kDictionarySetName);
    // Each file on a thread of its own (the first here); the lowest one that failed is reported.
    std::vector<std::exception_ptr> failed(files.size());
    auto write = [&](std::size_t i) {
        try {
            set.Write(i, [&plan = files[i].plan](int fd) { return WritePlan(fd, plan); });
        } catch (...) {
            failed[i] = std::current_exception();
        }
    };
    std::vector<std::thread> others;
    for (std::size_t i = 1; i < files.size(); ++i)
        others.emplace_back(write, i);
    if (!files.empty())
        write(0);
    for (std::thread& other : others)
        other.join();
    for (const std::exception_ptr& e : failed)
        if (e)
            std::rethrow_exception(e);
    set.Commit();
}

void MakeDictionaries(const std::string& sourceFileName, const std::string& dir)
{
    // A write over the file-size limit then fails with a message instead of ending the process.
    io::IgnoreFileSizeSignal();

    // The source is read once; each image is laid out, and later written, on its own thread.
    // Failures are reported as a build of the address dictionary first would report them.
    // The records are the build strings with their lengths in place, and both files are written
    // from them, so no image is put together in memory.
    BuildStrings records = BuildStrings::Read(sourceFileName);
    records.PlaceLengths();
    std::vector<TNewFile> files(2);
    files[0].name = kAddressDictName;
    files[1].name = kCodeDictName;
    BothAtOnce([&](int i) {
        files[static_cast<std::size_t>(i)].plan =
            i == 0 ? PlanImage(TPostCode(), records) : PlanImage(TCodeAddress(), records);
    });
    ReplaceFilesTogether(dir.empty() || dir.back() == '/' ? dir : dir + "/", files);
}

} // namespace kompa
