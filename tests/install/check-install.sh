#!/usr/bin/env bash
# Installs the build into a scratch root and checks what a desktop expects to find there.
#   check-install.sh <build-dir>
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
share=$root/usr/share
fail() { echo "FAIL: $*" >&2; exit 1; }

[ -x "$root/usr/bin/bonkbell" ] || fail "no executable in bin/"
desktop-file-validate "$share/applications/com.bonkbell.mac.desktop" || fail "desktop entry"
grep -qx "Exec=/usr/bin/bonkbell" "$share/applications/com.bonkbell.mac.desktop" || fail "desktop entry's Exec"
appstreamcli validate --no-net --pedantic "$share/metainfo/com.bonkbell.mac.metainfo.xml" >/dev/null || fail "AppStream metadata"
# Each screenshot is one the README shows.
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
for image in $(grep -o '<image>[^<]*</image>' "$share/metainfo/com.bonkbell.mac.metainfo.xml" | sed -E 's|</?image>||g; s|.*/||'); do
  grep -q "(docs/$image)" "$source_dir/README.md" && [ -f "$source_dir/docs/$image" ] || fail "screenshot $image is not in the README"
done
# And every picture the README shows is there, small enough for a page to load.
for image in $(grep -o '(docs/[^)]*)' "$source_dir/README.md" | tr -d '()'); do
  [ -f "$source_dir/$image" ] && [ "$(stat -c %s "$source_dir/$image")" -lt 1000000 ] || fail "README picture $image"
done
for size in 16 22 24 32 48 64 128 256; do
  icon=$share/icons/hicolor/${size}x${size}/apps/com.bonkbell.mac.png
  [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || fail "icon $size"
done
man -l "$share/man/man1/bonkbell.1.gz" 2>/dev/null | grep -q -- '--connect-stripe' || fail "man page"
words=$(bash -c "source '$share/bash-completion/completions/bonkbell'; COMP_WORDS=(bonkbell --); COMP_CWORD=1; _bonkbell; echo \${COMPREPLY[*]}")
[ "$words" = "--connect-stripe --connect-revenuecat --disconnect --status --send --help --version" ] || fail "completion: $words"
echo "installed tree is complete"
