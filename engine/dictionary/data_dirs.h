#pragma once
// Where the programs find their data: the dictionary pair (and the office dictionary beside it),
// the help file, and the per-user directory that `kompa-cli update` and the desktop program's
// build fill. Every directory returned ends with "/".

#include <string>
#include <vector>

#include "dictionary_build.h"

namespace kompa {

// $XDG_DATA_HOME/kompa/ (only an absolute XDG_DATA_HOME counts), else $HOME/.local/share/kompa/,
// else the account's home from the password database; empty when no home is known.
std::string UserDataDir();
std::string UserDataDir(const char* xdgDataHome, const char* home);

// The program file's directory, and the installed data directory beside it (../share/kompa/),
// so an installed tree works wherever it was unpacked.
std::string ProgramDir();
std::string InstalledDataDir();

// The directories searched for the dictionary pair, in order: per-user, program's, installed.
std::vector<std::string> DictionaryDirs();

// The first of dirs holding both KOMPA.DIC and VELDA.DIC, so the two always come from one
// place. When none does, the installed data directory if it exists, else the program's: the
// message about the missing file then names where it was expected.
std::string FindDictionaryDir(const std::vector<std::string>& dirs);
std::string FindDictionaryDir();

// A data file shipped with the program (the help file): the program's directory first, then
// the installed data directory. The program's directory when neither holds it.
std::string FindDataFile(const std::string& name);

// Creates dir and any missing parents, private to the user (0700) as the XDG rules ask.
// Raises "ﾌｧｲﾙ %s を作成できません" naming the directory that could not be made.
void MakeDirectories(const std::string& dir);

// What an update into the per-user data directory did.
struct TUserUpdate {
    std::string dir; // the per-user data directory
    TBuiltFiles built;
    // Where the pair was copied from, when an office file alone went into a directory holding
    // no pair; empty otherwise.
    std::string pairCopiedFrom;
};

// Builds the dictionaries of the sources (MakeDictionaryFiles) into the per-user data directory,
// creating it. An office file alone, into a directory holding no pair, takes along a copy of the
// pair in use: the office dictionary is read only beside a pair.
TUserUpdate UpdateUserDictionaries(const std::vector<TBuildSource>& sources);

} // namespace kompa
