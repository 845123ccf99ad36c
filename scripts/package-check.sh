#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree (default build/) and checks what it
# installs: lintian, the desktop entry, the AppStream data, and the unpacked programs answering
# and refreshing the dictionaries from a scratch home, so a broken install rule fails.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

rm -f "$build"/kompa_*.deb
(cd "$build" && cpack -G DEB)
debs=("$build"/kompa_*.deb)
deb=${debs[0]}

root_flag=()
[ "$(id -u)" -ne 0 ] || root_flag=(--allow-root)
echo "== lintian"
lintian "${root_flag[@]}" --fail-on error "$deb"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/root"
usr=$scratch/root/usr

echo "== desktop entry and AppStream data"
desktop-file-validate "$usr"/share/applications/*.desktop
appstreamcli validate --no-net "$usr"/share/metainfo/*.metainfo.xml
for page in kompa kompa-cli; do
    test -s "$usr/share/man/man1/$page.1.gz"
done

echo "== unpacked kompa-cli with a scratch home"
mkdir "$scratch/home"
cli() { env -u XDG_DATA_HOME HOME="$scratch/home" "$usr/bin/kompa-cli" "$@"; }
expect() { # expect TEXT-TO-FIND OUTPUT
    grep -qF -- "$1" <<<"$2" || { printf 'expected %s in:\n%s\n' "$1" "$2" >&2; exit 1; }
}
# Relocated: the dictionaries come from the unpacked share/kompa, not from this build tree.
expect "now $usr/share/kompa/" "$(cli find --help)"
expect $'1000001 千代田区千代田' "$(cli find 1000001)"
# The office dictionary ships beside the pair.
test -s "$usr/share/kompa/OFFICE.DIC"
expect $'1008926 ［事業所］総務省' "$(cli find 1008926)"

source_file=$scratch/KEN_ALL.CSV
office_file=$scratch/JIGYOSYO.CSV
xz -dc data/KEN_ALL.CSV.xz >"$source_file"
xz -dc data/JIGYOSYO.CSV.xz >"$office_file"
user_dir=$scratch/home/.local/share/kompa/
expect "written to $user_dir" "$(cli update "$source_file" "$office_file")"
test -s "$user_dir/KOMPA.DIC" && test -s "$user_dir/VELDA.DIC" && test -s "$user_dir/OFFICE.DIC"
expect "now $user_dir" "$(cli find --help)"
expect $'1000001 千代田区千代田' "$(cli find 1000001)"
expect $'0608651 ［私書箱］ホクレン' "$(cli office ホクレン)"
echo "package check passed: $deb"
