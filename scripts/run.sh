#!/usr/bin/env bash
# Builds everything (the bundled dictionaries included) and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build
exec build/bin/kompa "$@"
