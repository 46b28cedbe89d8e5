#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, calling apt only when one is missing.
#   tools/deps.sh          what make run and make test need
#   tools/deps.sh bench    and what only the benchmarks compare against
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build make pkgconf
  qt6-base-dev qt6-base-dev-tools libgl-dev qcoro-qt6-dev libsecret-1-dev libicu-dev qt6-multimedia-dev
  libxcb1-dev libxcb-xfixes0-dev libxcb-shape0-dev dpkg-dev
  libwayland-dev wayland-protocols plasma-wayland-protocols
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev clang-14 libclang-rt-14-dev clang-format-14
  # test-time services
  # window managers the overlays are tried under
  openbox xfwm4 kwin-x11
  # Wayland sessions nested on the test display: GNOME's, KDE's and a wlroots compositor, XWayland, a native client
  mutter kwin-wayland sway xwayland weston
  dbus-daemon gnome-keyring libsecret-tools xvfb xauth fonts-dejavu-core pulseaudio xdotool picom trayer imagemagick x11-xserver-utils x11-utils wmctrl dbus-bin desktop-file-utils appstream man-db lintian
)
# The idle-cost benchmark measures the app side by side with a classic X11 sprite animation.
[ "${1:-}" = bench ] && packages+=(xpenguins)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
