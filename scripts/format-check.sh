#!/usr/bin/env bash
# Fails when any of the project's sources differs from what the root .clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/format-files.sh
"$clang_format" --dry-run --Werror "${files[@]}"
