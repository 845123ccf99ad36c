#include <cstdio>

#include "commands.h"

namespace kompa::cli {
namespace {
int NotYet()
{
    std::fputs("kompa-cli: queries not available yet\n", stderr);
    return 1;
}
} // namespace

int RunCode(int, char**)
{
    return NotYet();
}
int RunAddress(int, char**)
{
    return NotYet();
}
int RunAll(int, char**)
{
    return NotYet();
}
int RunFind(int, char**)
{
    return NotYet();
}
int RunNormalize(int, char**)
{
    return NotYet();
}

} // namespace kompa::cli
