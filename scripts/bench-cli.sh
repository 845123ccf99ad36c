#!/bin/sh
# Whole-process measurements of kompa-cli: one code query, 100,000 piped mixed queries (Shift-JIS
# and UTF-8), and the build of both dictionaries from the bundled file. Prints medians (hyperfine)
# and the peak RSS of the piped run (/usr/bin/time -v).
#
#   scripts/bench-cli.sh [BUILD_DIR]        (default: build)
#   scripts/bench-cli.sh --queries FILE [BUILD_DIR]   only write the 100,000 queries (Shift-JIS)
#
# The queries: half seven-digit codes, half addresses typed with the prefecture name and block
# numbers (full-width, half-width, with blanks), taken from the bundled file at fixed pseudo-random
# lines and kept only when the address search answers them at once (level 1), so every query is
# answered by the first search.
set -eu

queries_only=
if [ "${1:-}" = "--queries" ]; then
    queries_only=$2
    shift 2
fi
build=${1:-build}
cli=$build/bin/kompa-cli
ken_all=$build/data/KEN_ALL.CSV
for f in "$cli" "$ken_all" "$build/bin/KOMPA.DIC" "$build/bin/VELDA.DIC"; do
    [ -e "$f" ] || { echo "bench-cli: missing $f (build the project first)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# Byte-oriented text handling throughout: the data is Shift-JIS.
LC_ALL=C
export LC_ALL

# Candidates: 80,000 addresses and 50,000 codes from a fixed linear congruential sequence.
awk -F, -v seed=12345 '
    function next_index(n) { seed = (seed * 1103515245 + 12345) % 2147483648; return seed % n + 1 }
    NF == 15 {
        for (f = 3; f <= 9; f++) gsub(/"/, "", $f)
        n++; code[n] = $3; address[n] = $7 $8 $9
    }
    END {
        # Block numbers as people type them: full-width, half-width, with a blank before.
        tail[0] = "\202\120\201\174\202\121\201\174\202\122"   # １－２－３
        tail[1] = "1-2-3"
        tail[2] = " \202\121\222\232\226\332\202\124"           # ２丁目５ after a blank
        tail[3] = "\202\120\202\117\224\324\222\156"           # １０番地
        for (i = 0; i < 80000; i++) print address[next_index(n)] tail[i % 4] > "/dev/stderr"
        for (i = 0; i < 50000; i++) print code[next_index(n)]
    }' "$ken_all" > "$work/codes.txt" 2> "$work/candidates.txt"

# Keep the addresses the first search answers, up to 50,000.
"$cli" address --sjis --dict "$build/bin" < "$work/candidates.txt" |
    awk -F'\t' '$1 == "#" { n++; if ($2 == 1 && $3 > 0) print n }' > "$work/answered.txt"
awk 'NR == FNR { keep[$1] = 1; next } keep[FNR] && kept < 50000 { print; kept++ }' \
    "$work/answered.txt" "$work/candidates.txt" > "$work/addresses.txt"
[ "$(wc -l < "$work/addresses.txt")" -eq 50000 ] ||
    { echo "bench-cli: fewer than 50,000 answered addresses" >&2; exit 1; }

# Interleave: code, address, code, address ...
awk 'NR == FNR { code[FNR] = $0; next } { print code[FNR]; print }' \
    "$work/codes.txt" "$work/addresses.txt" > "$work/queries.sjis"
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
