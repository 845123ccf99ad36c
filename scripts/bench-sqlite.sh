#!/bin/sh
# KOMPA against SQLite, whole processes side by side in one hyperfine run each, so load on the
# machine cancels out of the ratios:
#   1. 100,000 piped mixed queries (kompa-cli find) against the sqlite3 command-line tool
#      answering the same records: codes by equality, addresses by their city+town beginning
#      (the search form kompa-cli normalize gives), from two indexes;
#   2. converting a 100,000-record address book (kompa-cli convert) against that same run;
#   3. building both dictionaries against importing the file into SQLite with its two indexes
#      (prepared statement, one transaction: build/bin/sqlite_import).
#
#   scripts/bench-sqlite.sh [BUILD_DIR]      (default: build; needs sqlite3 and sqlite_import)
set -eu

build=${1:-build}
bin=$build/bin
ken_all=$build/data/KEN_ALL.CSV
for f in "$bin/kompa-cli" "$bin/bench_cli_process" "$bin/bench_convert" "$bin/sqlite_import" \
         "$bin/KOMPA.DIC" "$bin/VELDA.DIC" "$ken_all"; do
    [ -e "$f" ] || { echo "bench-sqlite: missing $f (build the project first)" >&2; exit 1; }
done
command -v sqlite3 > /dev/null || { echo "bench-sqlite: sqlite3 is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
cli=$(realpath "$bin/kompa-cli")

# The queries, and the same records asked of SQLite (UTF-8 both sides).
"$bin/bench_cli_process" --write-queries "$work/queries.sjis"
iconv -f CP932 -t UTF-8 < "$work/queries.sjis" > "$work/queries.utf8"
iconv -f CP932 -t UTF-8 < "$ken_all" > "$work/KEN_ALL.utf8.CSV"
"$bin/sqlite_import" "$work/KEN_ALL.utf8.CSV" "$work/post.db"
"$cli" normalize < "$work/queries.utf8" | awk -F '\t' '
    $1 == "#" { key = $4; next }
    {
        if (key ~ /^[0-9]+$/)
            printf "SELECT code, addr FROM post WHERE code = '\''%s'\'';\n", key
        else
            printf "SELECT code, addr FROM post WHERE addr GLOB '\''%s*'\'';\n", $0
    }' > "$work/queries.sql"

# The address book and the dictionary build's own copy of the source.
"$bin/bench_convert" --generate "$work/book.csv" 100000
cp "$bin/KOMPA.DIC" "$bin/VELDA.DIC" "$work/"
mkdir "$work/dicts"
cp "$ken_all" "$work/dicts/KEN_ALL.CSV"

ratio() {  # median of the first command over the median of the second, from a hyperfine JSON export
    sed -n 's/.*"median": *\([0-9.e+-]*\).*/\1/p' "$1" | head -2 | tr '\n' ' ' |
        awk '{ printf "%.1f ms / %.1f ms = %.3f", $1 * 1000, $2 * 1000, $1 / $2 }'
}

echo "KOMPA / SQLite, side by side ($(nproc) cores)"
hyperfine -N --warmup 2 --runs 10 --export-json "$work/q.json" \
    "sh -c '$cli find --dict $work < $work/queries.utf8 > /dev/null'" \
    "sh -c 'sqlite3 $work/post.db < $work/queries.sql > /dev/null'" > /dev/null
echo "  100,000 piped queries / sqlite3:       $(ratio "$work/q.json")"

hyperfine -N --warmup 2 --runs 10 --export-json "$work/c.json" \
    "$cli convert --dict $work --post-col 2 --addr-col 3 --output $work/out.csv $work/book.csv" \
    "sh -c 'sqlite3 $work/post.db < $work/queries.sql > /dev/null'" > /dev/null
echo "  convert 100,000 records / sqlite3:     $(ratio "$work/c.json")"

hyperfine -N --warmup 2 --runs 10 --export-json "$work/b.json" \
    "$cli build $work/dicts/KEN_ALL.CSV" \
    "$bin/sqlite_import $ken_all $work/import.db" > /dev/null
echo "  build both / SQLite import, 2 indexes: $(ratio "$work/b.json")"
