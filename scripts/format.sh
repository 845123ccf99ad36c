#!/usr/bin/env bash
# Formats the project's sources in place with the root .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/format-files.sh
"$clang_format" -i "${files[@]}"
