#!/usr/bin/env bash
# Replays the kept fuzz corpora once, under AddressSanitizer and UndefinedBehaviorSanitizer:
# every input that once reached new code must still run clean. Each target gets at most 5 minutes.
set -euo pipefail
cd "$(dirname "$0")/.."

CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DKOMPA_FUZZ=ON -DKOMPA_SANITIZE=ON \
    -DKOMPA_GUI=OFF -DKOMPA_BENCH=OFF >/dev/null

targets=()
for source in fuzz/*.cpp; do
    targets+=("fuzz_$(basename "$source" .cpp)")
done
cmake --build build-fuzz --target "${targets[@]}"

artifacts=$(mktemp -d)
trap 'rm -rf "$artifacts"' EXIT
status=0
for target in "${targets[@]}"; do
    corpus="fuzz/corpus/${target#fuzz_}"
    if [ ! -d "$corpus" ]; then
        echo "$target: no corpus, skipped"
        continue
    fi
    echo "== $target: $(find "$corpus" -type f | wc -l) inputs"
    if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        timeout 300 "build-fuzz/bin/$target" -runs=0 -artifact_prefix="$artifacts/" \
        "$corpus" >"$artifacts/$target.log" 2>&1; then
        tail -n 40 "$artifacts/$target.log"
        echo "$target: FAILED"
        status=1
    else
        grep -E '^#[0-9]+.*(INITED|DONE)' "$artifacts/$target.log" | tail -n 1 || true
    fi
done
exit $status
