#include "data_dirs.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dictionary.h"
#include "dictionary_build.h"
#include "engine/io/errors.h"
#include "engine/io/file_io.h"
#include "engine/io/messages.h"

namespace kompa {
namespace {

std::string WithSlash(std::string dir)
{
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir;
}

bool IsDirectory(const std::string& dir)
{
    struct stat st {};
    return !dir.empty() && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool HoldsPair(const std::string& dir)
{
    return io::FileExists(dir + kAddressDictName) && io::FileExists(dir + kCodeDictName);
}

} // namespace

std::string UserDataDir(const char* xdgDataHome, const char* home)
{
    // A relative XDG_DATA_HOME is invalid and ignored, as the XDG rules say.
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/')
        return WithSlash(xdgDataHome) + "kompa/";
    if (home != nullptr && home[0] == '/')
        return WithSlash(home) + ".local/share/kompa/";
    return {};
}

std::string UserDataDir()
{
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/')
        if (const passwd* account = ::getpwuid(::getuid()))
            home = account->pw_dir;
    return UserDataDir(std::getenv("XDG_DATA_HOME"), home);
}

std::string ProgramDir()
{
    return io::DirectoryPart(io::ProgramFileName());
}

std::string InstalledDataDir()
{
    const std::string programDir = ProgramDir();
    if (programDir.empty())
        return {};
    return std::filesystem::path(programDir + "../share/kompa/").lexically_normal().string();
}

std::vector<std::string> DictionaryDirs()
{
    std::vector<std::string> dirs;
    for (std::string dir : {UserDataDir(), ProgramDir(), InstalledDataDir()})
        if (!dir.empty())
            dirs.push_back(std::move(dir));
    return dirs;
}

std::string FindDictionaryDir(const std::vector<std::string>& dirs)
{
    for (const std::string& dir : dirs)
        if (HoldsPair(WithSlash(dir)))
            return WithSlash(dir);
    const std::string installed = InstalledDataDir();
    return IsDirectory(installed) ? installed : ProgramDir();
}

std::string FindDictionaryDir()
{
    return FindDictionaryDir(DictionaryDirs());
}

std::string FindDataFile(const std::string& name)
{
    const std::string installed = InstalledDataDir();
    if (!io::FileExists(ProgramDir() + name) && !installed.empty() &&
        io::FileExists(installed + name))
        return installed + name;
    return ProgramDir() + name;
}

void MakeDirectories(const std::string& dir)
{
    std::string path;
    std::size_t from = 0;
    while (from < dir.size()) {
        const std::size_t slash = dir.find('/', from);
        const std::size_t end = slash == std::string::npos ? dir.size() : slash;
        path = dir.substr(0, end);
        from = end + 1;
        if (path.empty() || IsDirectory(path))
            continue;
        if (::mkdir(path.c_str(), 0700) != 0 && !(errno == EEXIST && IsDirectory(path)))
            Raise(FormatMessage(msg::kFileCreateError, path));
    }
}

TUserUpdate UpdateUserDictionaries(const std::vector<TBuildSource>& sources)
{
    CheckSourceKinds(sources);
    TUserUpdate update;
    update.dir = UserDataDir();
    if (update.dir.empty())
        Raise(FormatMessage(msg::kFileCreateError, "$XDG_DATA_HOME/kompa"));
    const bool pairGiven = std::any_of(sources.begin(), sources.end(), [](const TBuildSource& s) {
        return s.kind == TSourceKind::Residential;
    });
    std::vector<TFileCopy> copies;
    if (!pairGiven && !HoldsPair(update.dir)) {
        const std::string inUse = FindDictionaryDir();
        if (HoldsPair(inUse)) {
            for (const char* name : {kAddressDictName, kCodeDictName})
                copies.push_back({name, io::ReadWholeFile(inUse + name)});
            update.pairCopiedFrom = inUse;
        }
    }
    MakeDirectories(update.dir);
    update.built = MakeDictionaryFiles(sources, update.dir, copies);
    return update;
}

} // namespace kompa
