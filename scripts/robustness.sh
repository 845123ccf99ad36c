#!/usr/bin/env bash
# Treats kompa-cli convert and build as a hostile user would and checks that no user file is
# lost: after every failure the book is byte for byte as it was and no temporary file is left;
# after every success it is complete. As root it also plays another user: swapping a directory
# for a link during conversions, a sticky directory. Prints what it measured. Needs a built tree
# (build/ or $1) and the tools scripts/setup.sh installs (acl, attr, strace, zip).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build}/bin")
cli="$bin/kompa-cli"
work=$(mktemp -d)
swapper=
trap '[ -z "$swapper" ] || kill "$swapper" 2>/dev/null || true; rm -rf "$work"' EXIT
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
# strace plays a kill at an exact system call; where tracing is not allowed those checks go.
if strace -f -qq -o /dev/null true 2>/dev/null; then traced=1; else traced=0; fi
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
# A reader completes what a killed build left half done before it reads anything.
read_pair() { "$cli" find --dict pair 1000001 >/dev/null 2>&1 || true; }
for i in $(seq 20); do
    "$cli" build pair/new.csv 2>/dev/null &
    sleep "0.0$((RANDOM % 9))"
    kill -9 $! 2>/dev/null || true
    wait $! 2>/dev/null || true
    read_pair
    pair_is "$old_pair" || pair_is "$new_pair" || fail "killed build $i: mismatched pair"
    "$cli" build pair/old.csv || fail "build after killed build $i"
    no_temps || fail "killed build $i: temporary file left after the next build"
done
# Killed exactly between its exchanges (and at the others): the next reader, or the next
# update, completes it; readers never see a mixed pair.
for at in $([ "$traced" = 1 ] && echo 1 2 3); do
    (strace -f -qq -o /dev/null -e trace=renameat2 -e inject=renameat2:signal=KILL:when=$at \
        "$cli" build pair/new.csv; exit $?) 2>/dev/null && fail "build killed at rename $at: exit 0"
    [ -e pair/.kompa-journal ] || fail "build killed at rename $at: no journal"
    answer=$("$cli" find --dict pair 0600000 2>&1)
    pair_is "$new_pair" && no_temps || fail "build killed at rename $at: not completed by a reader"
    [ "$(printf '%s\n' "$answer" | head -n 1)" = "$(printf '#\t-\t1\t0600000')" ] ||
        fail "build killed at rename $at: reader answered $answer"
    "$cli" build pair/old.csv
done
[ "$traced" = 1 ] && echo "robustness: builds killed between exchanges: 3 of 3 completed by the next reader"
flock -s pair/KOMPA.DIC sleep 1 &
sleep 0.3
"$cli" find --dict pair 1000001 >/dev/null || fail "a second reader was refused"
"$cli" build pair/new.csv 2>/dev/null && fail "build while a reader holds the file: exit 0"
pair_is "$old_pair" && no_temps || fail "refused build changed the pair"
wait

# A file of the pair replaced by hand beside its partner is refused; both replaced is a pair.
cp pair/KOMPA.DIC pair.kompa.old
"$cli" build pair/new.csv
cp pair.kompa.old pair/KOMPA.DIC
mixed=$("$cli" code --dict pair 1000001) && fail "hand-mixed pair: exit 0"
[ "${mixed:0:1}" = "!" ] || fail "hand-mixed pair: used: $mixed"
"$cli" build pair/old.csv
rm pair.kompa.old

# update killed between its exchanges, and with its report on a full device.
export XDG_DATA_HOME="$work/xdg"
"$cli" update pair/old.csv >/dev/null
if [ "$traced" = 1 ]; then
    (strace -f -qq -o /dev/null -e trace=renameat2 -e inject=renameat2:signal=KILL:when=2 \
        "$cli" update pair/new.csv; exit $?) >/dev/null 2>&1 && fail "killed update: exit 0"
    [ "$("$cli" code 0600000 | head -n 1)" = "$(printf '#\t-\t1\t0600000')" ] ||
        fail "killed update: the next reader got a mixed pair"
fi
"$cli" update pair/old.csv >/dev/full 2>"$work/update.err" || fail "update on /dev/full: exit 1"
grep -q "could not be printed" "$work/update.err" || fail "update on /dev/full: no warning"
unset XDG_DATA_HOME

# Sources that are no ministry file: refused at once, with a message, nothing replaced.
"$cli" build pair/old.csv
awk 'NR % 3 == 0 { sub(/\r$/, "") } { print }' "$bin/../data/KEN_ALL.CSV" >pair/mixed.csv
mkdir mixed && "$cli" build pair/mixed.csv mixed
[ "$(cat mixed/KOMPA.DIC mixed/VELDA.DIC | sha256sum)" = "$new_pair" ] ||
    fail "source with mixed line ends: not the pair of its CR LF form"
rc=0
timeout 10 "$cli" build /dev/zero pair 2>/dev/null || rc=$?
[ "$rc" = 1 ] || fail "build /dev/zero: status $rc (124: still reading after 10 s)"
mkfifo pair/fifo.csv
rc=0
timeout 10 "$cli" build pair/fifo.csv 2>/dev/null || rc=$?
[ "$rc" = 1 ] || fail "build FIFO: status $rc (124: waiting for a writer)"
# A 1 GiB entry in a 1 MB archive, under a memory limit; then one stating less than it holds.
head -c 1G /dev/zero | zip -q bomb.zip -
bomb_size=$(stat -c %s bomb.zip)
(ulimit -v 1000000 && "$cli" build bomb.zip pair 2>"$work/bomb.err") && fail "ZIP bomb: exit 0"
grep -q "ZIP 書庫 bomb.zip" "$work/bomb.err" || fail "ZIP bomb: $(cat "$work/bomb.err")"
head -c 100000 /dev/zero | zip -q small.zip -
central=$(grep -obUaP 'PK\x01\x02' small.zip | head -n 1 | cut -d: -f1)
for at in 22 $((central + 24)); do
    printf '\x10\x00\x00\x00' | dd of=small.zip bs=1 seek="$at" conv=notrunc status=none
done
"$cli" build small.zip pair 2>"$work/small.err" && fail "ZIP stating less: exit 0"
grep -q "ZIP 書庫 small.zip" "$work/small.err" || fail "ZIP stating less: $(cat "$work/small.err")"
pair_is "$old_pair" && no_temps || fail "refused sources changed the pair"
echo "robustness: ZIP of $bomb_size bytes inflating to 1 GiB refused under a 1 GB memory limit"

# Dictionaries that are FIFOs: every command, and the desktop program at start, go on.
mkdir -p fifo/xdg/kompa
mkfifo fifo/KOMPA.DIC fifo/VELDA.DIC fifo/xdg/kompa/KOMPA.DIC fifo/xdg/kompa/VELDA.DIC
rc=0
out=$(timeout 10 "$cli" find --dict fifo 1000001 東京都) || rc=$?
[ "$rc" = 1 ] || fail "FIFO dictionary: find status $rc (124: it waits)"
case "$out" in *開けません*) ;; *) fail "FIFO dictionary: $out" ;; esac
if [ -x "$bin/kompa" ]; then
    XDG_DATA_HOME="$work/fifo/xdg" QT_QPA_PLATFORM=offscreen "$bin/kompa" >/dev/null 2>&1 &
    gui=$!
    sleep 3
    if grep -q wait_for_partner "/proc/$gui/wchan" 2>/dev/null; then
        fail "FIFO dictionary: kompa waits"
    fi
    kill -9 "$gui" 2>/dev/null
    wait "$gui" 2>/dev/null || true
fi

# Books the program cannot read right are converted right or refused, never mangled.
utf16() { { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; }; }
cp book.original sjis.csv
convert --output sjis.out sjis.csv >/dev/null
iconv -f CP932 -t UTF-8 <sjis.csv | tr ',' '\t' | utf16 >wide.csv
convert wide.csv >/dev/null || fail "UTF-16 book: not converted"
[ "$(iconv -f CP932 -t UTF-8 <sjis.out | tr ',' '\t' | utf16 | sha256sum)" = "$(sha256sum <wide.csv)" ] ||
    fail "UTF-16 book: not the UTF-16 form of the Shift-JIS result"
{ printf '\xef\xbb\xbf'; cat book.original; } >marked.csv
convert marked.csv >/dev/null || fail "Shift-JIS behind a UTF-8 mark: not converted"
[ "$(sha256sum <marked.csv)" = "$({ printf '\xef\xbb\xbf'; cat sjis.out; } | sha256sum)" ] ||
    fail "Shift-JIS behind a UTF-8 mark: not converted by its content"
rm -f sjis.* wide.* marked.*

# Kills: a book as read or complete, a backup only of the book as read, and whatever a kill left
# gone after the next save. 100,000 records take long enough to be killed on the way.
for _ in $(seq 250); do cat book.original; done >big.original
convert --output big.expected big.original >/dev/null
big=$(sha256sum <big.original)
big_done=$(sha256sum <big.expected)
kills=0 originals=0 completes=0
for i in $(seq "${KILLS:-100}"); do
    cp big.original big.csv
    rm -f big.bak
    "$cli" convert --dict "$work" --post-col 2 --addr-col 3 big.csv >/dev/null 2>&1 &
    sleep "0.0$((RANDOM % 10))$((RANDOM % 10))"
    kill -9 $! 2>/dev/null && kills=$((kills + 1))
    wait $! 2>/dev/null || true
    now=$(sha256sum <big.csv)
    if [ "$now" = "$big" ]; then
        originals=$((originals + 1))
    elif [ "$now" = "$big_done" ]; then
        completes=$((completes + 1))
    else
        fail "kill $i: book neither as read nor complete"
    fi
    [ ! -e big.bak ] || [ "$(sha256sum <big.bak)" = "$big" ] || fail "kill $i: backup differs"
    # A backup left beside the book as read is the book itself: the next save goes on.
    if [ "$now" = "$big" ] && [ -e big.bak ]; then
        convert big.csv >/dev/null || fail "kill $i: next save refused"
    fi
done
cp big.original big.csv && rm -f big.bak && convert big.csv >/dev/null
leftovers=$(ls -A | grep -c '^\.' || true)
[ "$leftovers" = 0 ] || fail "kills: $leftovers files left after the next save: $(ls -A)"
echo "robustness: $kills kills during conversions: $originals as read, $completes complete, 0 else; leftovers after the next save: $leftovers"
# Killed between the backup and the rename: the next save takes the backup as made.
cp big.original big.csv && rm -f big.bak
[ "$traced" = 1 ] && (strace -f -qq -o /dev/null -e trace=renameat -e inject=renameat:signal=KILL \
    "$cli" convert --dict "$work" --post-col 2 --addr-col 3 big.csv; exit $?) >/dev/null 2>&1 || true
if [ "$traced" = 1 ]; then
    [ "$(sha256sum <big.csv)" = "$big" ] && [ -e big.bak ] || fail "killed before the rename"
fi
convert big.csv >/dev/null || fail "save after a kill before the rename: refused"
[ "$(sha256sum <big.csv)" = "$big_done" ] && [ "$(sha256sum <big.bak)" = "$big" ] &&
    [ "$(ls -A | grep -c '^\.')" = 0 ] || fail "save after a kill before the rename: wrong result"
rm -f big.*

# The rest plays another user, which needs root.
if [ "$(id -u)" != 0 ]; then
    echo "robustness: not root: race, ACL and sticky directory skipped"
    exit $status
fi
as_nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
chmod 755 "$work"

# Access rights: an ACL and extended attributes survive the save exactly, the mode too.
cp book.original acl.csv
chmod 0640 acl.csv
setfacl -m u:nobody:rw acl.csv || echo "robustness: no ACLs here"
setfattr -n user.origin -v ledger acl.csv || echo "robustness: no extended attributes here"
rights() { stat -c %a "$1"; getfacl -cp "$1"; getfattr -d --absolute-names "$1" | tail -n +2; }
before=$(rights acl.csv)
convert acl.csv >/dev/null || fail "ACL book: not saved"
[ "$(rights acl.csv)" = "$before" ] || fail "ACL book: rights now $(rights acl.csv)"
rm -f acl.*

# A sticky world-writable directory: another user's refused save leaves nothing in the way.
mkdir -m 1777 sticky
cp book.original sticky/book.csv
chmod 0666 sticky/book.csv
for try in 1 2; do
    as_nobody "$cli" convert --dict "$work" --post-col 2 --addr-col 3 sticky/book.csv \
        >/dev/null 2>&1 && fail "sticky directory, try $try: saved over root's book"
    [ "$(sha256sum <sticky/book.csv)" = "$original" ] && [ "$(ls -A sticky)" = book.csv ] ||
        fail "sticky directory, try $try: left $(ls -A sticky)"
done
rm -r sticky

# The race: another user swaps their directory for a link to root's while root converts the
# books in it. Nothing of root's may change, whatever the timing.
mkdir -p race/own/d race/victim
printf '%s\n' '#define _GNU_SOURCE' '#include <fcntl.h>' '#include <stdio.h>' '#include <unistd.h>' \
    'int main(int c, char** v) { if (chdir(v[1])) return 1;' \
    '  for (;;) renameat2(AT_FDCWD, "d", AT_FDCWD, "l", RENAME_EXCHANGE); }' >race/swap.c
cc -O2 -o race/swap race/swap.c || g++ -x c++ -O2 -o race/swap race/swap.c
n=2000
for i in $(seq "$n"); do
    printf '%s' "$line" >race/own/d/book$i.csv
    printf 'root %s\r\n' "$i" >race/victim/book$i.csv
done
ln -s "$work/race/victim" race/own/l
chown -R nobody race/own
victim() { (cd race/victim && ls -A | sort && cat ./*) | sha256sum; }
before=$(victim)
setpriv --reuid=65534 --regid=65534 --clear-groups race/swap "$work/race/own" &
swapper=$!
saved=0 tries=0
end=$((SECONDS + ${RACE_SECONDS:-20}))
while [ "$SECONDS" -lt "$end" ] && [ "$tries" -lt "$n" ]; do
    tries=$((tries + 1))
    convert "race/own/d/book$tries.csv" >/dev/null 2>&1 && saved=$((saved + 1))
done
kill "$swapper"
wait "$swapper" 2>/dev/null || true
escapes=0
[ "$(victim)" = "$before" ] || escapes=$(find race/victim -newer race/swap.c | wc -l)
[ "$escapes" = 0 ] || fail "race: $escapes of root's files replaced or created"
echo "robustness: race: $tries conversions during directory swaps ($saved saved, $((tries - saved)) refused), $escapes escapes"

exit $status
