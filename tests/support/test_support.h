#pragma once
// Shared helpers for the tests: scratch directories, file contents, text in Shift-JIS.

#include <filesystem>
#include <string>
#include <string_view>

#include "engine/io/errors.h"

namespace kompa::test {

// A fresh directory under the system's temporary directory, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string File(std::string_view name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

std::string ReadFile(const std::string& fileName);
void WriteFile(const std::string& fileName, std::string_view bytes);

// The message an action fails with, or "(no failure)".
template <class Action> std::string MessageOf(Action&& action)
{
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(no failure)";
}

// Builds dir's KOMPA.DIC and VELDA.DIC from the ministry file as the programs' build does.
void BuildPair(const std::string& source, const std::string& dir);
// Builds the pair elsewhere and puts the one named (kAddressDictName or kCodeDictName) at
// dictFile: a dictionary on its own, as a test of reading wants it.
void BuildOne(const std::string& source, const std::string& dictFile, std::string_view which);

// UTF-8 source text to Shift-JIS bytes (test inputs are written readably in UTF-8).
std::string Sjis(std::string_view utf8);

} // namespace kompa::test
