#!/bin/sh
# Whole-process measurements of kompa-cli: one code query, 100,000 piped mixed queries (Shift-JIS
# and UTF-8), and the build of both dictionaries from the bundled file. Prints medians (hyperfine)
# and the peak RSS of the piped run (/usr/bin/time -v).
#
#   scripts/bench-cli.sh [BUILD_DIR]        (default: build)
#   scripts/bench-cli.sh --queries FILE [BUILD_DIR]   only write the 100,000 queries (Shift-JIS)
#
# The queries (bench_cli_process --write-queries): half seven-digit codes, half addresses typed
# with the prefecture name and block numbers, all answered by the first search. The same
# measurements as Google Benchmark medians: build/bin/bench_cli_process.
set -eu

queries_only=
if [ "${1:-}" = "--queries" ]; then
    queries_only=$2
    shift 2
fi
build=${1:-build}
cli=$build/bin/kompa-cli
ken_all=$build/data/KEN_ALL.CSV
generator=$build/bin/bench_cli_process
for f in "$cli" "$generator" "$ken_all" "$build/bin/KOMPA.DIC" "$build/bin/VELDA.DIC"; do
    [ -e "$f" ] || { echo "bench-cli: missing $f (build the project first)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# The generator lives in the whole-process benchmark program (bench/cli_process.cpp).
"$generator" --write-queries "$work/queries.sjis"
iconv -f CP932 -t UTF-8 < "$work/queries.sjis" > "$work/queries.utf8"

if [ -n "$queries_only" ]; then
    cp "$work/queries.sjis" "$queries_only"
    exit 0
fi

median() {  # median in ms of the first result of a hyperfine JSON export
    sed -n 's/.*"median": *\([0-9.e+-]*\).*/\1/p' "$1" | head -1 | awk '{ printf "%.2f ms", $1 * 1000 }'
}

echo "kompa-cli whole-process medians ($(nproc) cores)"
hyperfine -N --warmup 20 --runs 300 --export-json "$work/one.json" \
    "$cli find 1000001" > /dev/null
echo "  find 1000001:                          $(median "$work/one.json")"

hyperfine --warmup 2 --runs 15 --export-json "$work/sjis.json" \
    "$cli find --sjis < $work/queries.sjis > /dev/null" > /dev/null
echo "  find --sjis, 100,000 piped queries:    $(median "$work/sjis.json")"

hyperfine --warmup 2 --runs 15 --export-json "$work/utf8.json" \
    "$cli find < $work/queries.utf8 > /dev/null" > /dev/null
echo "  find (UTF-8), 100,000 piped queries:   $(median "$work/utf8.json")"

cp "$ken_all" "$work/KEN_ALL.CSV"
hyperfine -N --warmup 3 --runs 30 --export-json "$work/build.json" \
    "$cli build $work/KEN_ALL.CSV" > /dev/null
echo "  build (both dictionaries, full file):  $(median "$work/build.json")"

rss() {  # peak RSS in KiB of a command reading stdin from $1
    /usr/bin/time -v "$cli" $2 < "$1" 2>&1 > /dev/null | sed -n 's/.*Maximum resident set size (kbytes): //p'
}
echo "  peak RSS, find --sjis 100,000 queries: $(rss "$work/queries.sjis" "find --sjis") KiB"
echo "  peak RSS, find (UTF-8) 100,000:        $(rss "$work/queries.utf8" find) KiB"
echo "  answer lines of the piped run:         $("$cli" find --sjis < "$work/queries.sjis" | wc -l)"
