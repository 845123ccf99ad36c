#!/usr/bin/env bash
# Treats kompa-cli convert as a hostile user would and checks that no user file is lost: after
# every failure the book is byte for byte as it was and no temporary file is left; after every
# success it is complete. Needs a built tree (build/ or $1).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build}/bin")
cli="$bin/kompa-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$bin/KOMPA.DIC" .
status=0
fail() {
    echo "robustness: $*" >&2
    status=1
}
convert() { "$cli" convert --dict "$work" --post-col 2 --addr-col 3 "$@"; }
# A book of 400 records, all converted: 大阪府大阪市北区梅田
line=$'a,,\x91\xE5\x8D\xE3\x95\x7B\x91\xE5\x8D\xE3\x8E\x73\x96\x6B\x8B\xE6\x94\x7E\x93\x63\r\n'
for _ in $(seq 400); do printf '%s' "$line"; done >book.original
expected=$(convert --output "$work/book.expected" book.original >/dev/null && cat book.expected | sha256sum)
original=$(sha256sum <book.original)
only_book() { [ "$(ls -A | grep -cv -e '^KOMPA.DIC$' -e '^book\.original$' -e '^book\.expected$')" = "$1" ]; }

# A file-size limit at many offsets (in KiB; the result is 12.5 KiB): untouched or complete.
for blocks in 0 1 2 5 8 11 12 13 20; do
    cp book.original book.csv
    if (ulimit -f "$blocks" && convert book.csv >/dev/null 2>&1); then
        [ "$(sha256sum <book.csv)" = "$expected" ] || fail "limit $blocks: saved but incomplete"
        [ "$(sha256sum <book.bak)" = "$original" ] || fail "limit $blocks: backup differs"
        rm book.bak
    else
        [ "$(sha256sum <book.csv)" = "$original" ] || fail "limit $blocks: book changed"
        only_book 1 || fail "limit $blocks: files left: $(ls -A)"
    fi
done

# Standard output on a full device: exit 1, nothing saved.
cp book.original book.csv
if convert book.csv >/dev/full 2>/dev/null; then fail "/dev/full: exit 0"; fi
[ "$(sha256sum <book.csv)" = "$original" ] && only_book 1 || fail "/dev/full: book changed"

# Not regular files: refused at once, nothing renamed or created.
rm book.csv
mkfifo fifo.csv
timeout 10 bash -c "$(declare -f convert); cli=$cli work=$work; convert fifo.csv" 2>/dev/null &&
    fail "FIFO: exit 0"
[ -p fifo.csv ] || fail "FIFO: replaced"
rm fifo.csv
if [ "$(id -u)" = 0 ]; then
    mknod null.csv c 1 3
    convert null.csv 2>/dev/null && fail "device: exit 0"
    [ -c null.csv ] || fail "device: replaced"
    rm null.csv
fi
only_book 0 || fail "non-regular: files left: $(ls -A)"

# Modes: 0600 stays 0600; 0444 is refused.
cp book.original book.csv
chmod 0600 book.csv
convert book.csv >/dev/null || fail "0600: not saved"
[ "$(stat -c %a book.csv)" = 600 ] || fail "0600: mode now $(stat -c %a book.csv)"
rm book.csv book.bak
cp book.original book.csv
chmod 0444 book.csv
convert book.csv >/dev/null 2>&1 && fail "0444: exit 0"
[ "$(sha256sum <book.csv)" = "$original" ] && only_book 1 || fail "0444: book changed"
rm -f book.csv

# An empty book and blank lines.
: >book.csv
[ "$(convert book.csv | tr '\n' ' ')" = "総データ数 0 住所が空のデータ 0 変換データ数 0 未変換 0 " ] ||
    fail "empty book: counts"
only_book 1 || fail "empty book: written"
printf '%s\r\n\r\n' "$line" >book.csv
convert book.csv >/dev/null || fail "blank line: exit status"
rm -f book.csv book.bak

# Dictionary builds: a file-size limit or a kill at any moment leaves a matching pair (both old
# or both new), no temporary file survives the next build, and a build waits for every reader.
mkdir pair
head -n 1000 "$bin/../data/KEN_ALL.CSV" >pair/old.csv
cp "$bin/../data/KEN_ALL.CSV" pair/new.csv
"$cli" build pair/new.csv && new_pair=$(cat pair/KOMPA.DIC pair/VELDA.DIC | sha256sum)
"$cli" build pair/old.csv && old_pair=$(cat pair/KOMPA.DIC pair/VELDA.DIC | sha256sum)
pair_is() { [ "$(cat pair/KOMPA.DIC pair/VELDA.DIC | sha256sum)" = "$1" ]; }
no_temps() { ! ls -A pair | grep -q '^\.'; }
for kib in 0 100 2000 3200 6000; do
    (ulimit -f "$kib" && "$cli" build pair/new.csv 2>/dev/null) || true
    pair_is "$old_pair" || pair_is "$new_pair" || fail "build limit $kib: mismatched pair"
    no_temps || fail "build limit $kib: temporary file left"
    "$cli" build pair/old.csv
done
for i in $(seq 20); do
    "$cli" build pair/new.csv 2>/dev/null &
    sleep "0.0$((RANDOM % 9))"
    kill -9 $! 2>/dev/null || true
    wait $! 2>/dev/null || true
    pair_is "$old_pair" || pair_is "$new_pair" || fail "killed build $i: mismatched pair"
    "$cli" build pair/old.csv || fail "build after killed build $i"
    no_temps || fail "killed build $i: temporary file left after the next build"
done
flock -s pair/KOMPA.DIC sleep 1 &
sleep 0.3
"$cli" find --dict pair 1000001 >/dev/null || fail "a second reader was refused"
"$cli" build pair/new.csv 2>/dev/null && fail "build while a reader holds the file: exit 0"
pair_is "$old_pair" && no_temps || fail "refused build changed the pair"
wait

exit $status
