#pragma once
// Entry points of the kompa-cli commands. Each gets argv[0] = the command's name and returns the
// process exit status: 0 success, 1 a failure reported on stderr, 2 a usage error.

namespace kompa::cli {

int RunBuild(int argc, char** argv);
int RunCode(int argc, char** argv);
int RunAddress(int argc, char** argv);
int RunAll(int argc, char** argv);
int RunFind(int argc, char** argv);
int RunNormalize(int argc, char** argv);
int RunOffice(int argc, char** argv);
int RunUpdate(int argc, char** argv);
int RunConvert(int argc, char** argv);

} // namespace kompa::cli
