#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DKOMPA_WERROR=ON
cmake --build build
ctest --test-dir build --output-on-failure -j2
