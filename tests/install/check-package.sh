#!/usr/bin/env bash
# Builds the .deb, unpacks it into a scratch root and runs the packaged executable on its own.
#   check-package.sh <build-dir>
set -euo pipefail
build=$(realpath "$1")
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$root/out" >/dev/null)
deb=$(ls "$root"/out/bonkbell_*_amd64.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6multimedia6 libsecret-1-0 libicu72 qt6-qpa-plugins; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
# Debian's own checks: description, copyright, changelog, compressed man page, permissions.
lintian --fail-on error,warning "$deb" 2>/dev/null || fail "lintian: $(lintian "$deb" 2>/dev/null)"
dpkg-deb -x "$deb" "$root/fs"
grep -qx "Exec=/usr/bin/bonkbell" "$root/fs/usr/share/applications/com.bonkbell.mac.desktop" || fail "desktop entry's Exec"
out=$(HOME=$root XDG_CONFIG_HOME=$root/config "$root/fs/usr/bin/bonkbell" --status) || fail "--status exit"
[ "$(echo "$out" | head -1 | cut -c1-7)" = "Stripe:" ] || fail "--status output: $out"
echo "package installs and runs: $(basename "$deb")"
