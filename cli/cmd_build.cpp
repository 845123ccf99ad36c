#include <cstdio>

#include "commands.h"

namespace kompa::cli {

// Placeholder until the dictionary build lands in the engine; succeeds so the tree keeps building.
int RunBuild(int, char**)
{
    std::fputs("kompa-cli: build not available yet\n", stderr);
    return 0;
}

} // namespace kompa::cli
