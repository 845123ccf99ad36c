#!/usr/bin/env bash
# Runs clang-tidy (the root .clang-tidy) over the project's own sources in a build's
# compile_commands.json; fails on any finding. Usage: scripts/tidy.sh [BUILD_DIR] (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tidy=$(command -v run-clang-tidy-14 || command -v run-clang-tidy)
[ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json" >&2; exit 2; }

# Sources of our folders only: nothing generated in the build tree (moc, autogen, resources).
root=$(pwd)
folders='engine|tools|conv|ui|find|convui|app|cli|tests|bench|fuzz'
mapfile -t files < <(grep -o '"file": *"[^"]*"' "$build/compile_commands.json" |
    sed 's/.*"\([^"]*\)"$/\1/' | grep -E "^$root/($folders)/" | sort -u)
echo "clang-tidy: ${#files[@]} files"
# The compile commands are the GCC build's: clang need not know all of its warning options.
# Colours and the counts of warnings suppressed in system headers are left out of the log.
"$tidy" -quiet -p "$build" -j "${TIDY_JOBS:-2}" -extra-arg=-Wno-unknown-warning-option \
    "${files[@]}" 2>&1 | sed -e 's/\x1b\[[0-9;]*m//g' -e '/^[0-9]* warnings\? generated\.$/d'
