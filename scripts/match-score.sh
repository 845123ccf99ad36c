#!/usr/bin/env bash
# How well kompa-cli convert fills codes into address books written as people write addresses:
# books of 20,000 records with the true code of each (bench_match_books), from the bundled
# ministry file and from the file as the operator publishes it (notes, floors, split towns),
# each once in Shift-JIS and once in UTF-8, converted with dictionaries built from the same file,
# then scored overall and per kind of address.
#
#   scripts/match-score.sh [BUILD_DIR]                  (default: build)
#   MATCH_ARGS="--match literal" scripts/match-score.sh  extra options for kompa-cli convert
#   MATCH_NOTES=FILE                                     the published file (default: the
#                                                        shared data next to the checkout)
#   MATCH_COUNT=N                                        records per book (default 20000)
#   MATCH_STRICT=1                                       fail when a record whose address decides
#                                                        its code is filled wrong, or fewer than
#                                                        99 % of those are filled right
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
count=${MATCH_COUNT:-20000}
read -r -a extra <<< "${MATCH_ARGS:-}"
notes=${MATCH_NOTES:-}
if [ -z "$notes" ]; then
    for candidate in ../shared/data/KEN_ALL_NOTES.CSV.xz /work/shared/data/KEN_ALL_NOTES.CSV.xz; do
        [ -e "$candidate" ] && { notes=$candidate; break; }
    done
fi

cli=$build/bin/kompa-cli
books=$build/bin/bench_match_books
if [ ! -x "$cli" ] || [ ! -x "$books" ]; then
    cmake --build "$build" --target kompa-cli bench_match_books -j2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# score NAME SOURCE SEED: both books of one ministry file.
score() {
    local name=$1 source=$2 seed=$3
    local plain=$work/$name.CSV dict=$work/$name-dict
    case $source in
        *.xz) xz -dc "$source" > "$plain" ;;
        *) cp "$source" "$plain" ;;
    esac
    mkdir -p "$dict"
    "$cli" build "$plain" "$dict"
    for encoding in sjis utf8; do
        local book=$work/$name-$encoding.csv out=$work/$name-$encoding.out.csv
        local flags=()
        [ "$encoding" = utf8 ] && flags=(--utf8)
        echo "=== $name, $encoding, seed $seed, $count records; convert ${extra[*]:-(default)}"
        "$books" generate --source "$plain" --count "$count" --seed "$seed" "${flags[@]}" \
            > "$book" 2> "$work/generate.log"
        sed 's/^/  /' "$work/generate.log"
        "$cli" convert --dict "$dict" --post-col 2 --addr-col 3 "${extra[@]}" \
            --output "$out" "$book" > "$work/convert.log" 2>&1 || {
            echo "kompa-cli convert failed:" >&2
            tail -5 "$work/convert.log" >&2
            exit 1
        }
        "$books" score ${MATCH_STRICT:+--strict} "$book" "$out"
        echo
        seed=$((seed + 1))
    done
}

score bundled data/KEN_ALL.CSV.xz 1501
if [ -n "$notes" ] && [ -e "$notes" ]; then
    score published "$notes" 1601
else
    echo "match-score: the published file is not here (set MATCH_NOTES); only the bundled one scored" >&2
fi
