#!/usr/bin/env bash
# Installs the Debian 12 packages Dimwell needs to build, run and test.
# Packages already present are left alone, so a second run costs a second.
set -euo pipefail

build=(cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  libxcb1-dev libxcb-xinput-dev libxcb-xfixes0-dev libxcb-shape0-dev libxcb-randr0-dev
  libxcb-res0-dev libxcb-keysyms1-dev libxcb-composite0-dev libxcb-xtest0-dev
  libxcb-ewmh-dev libxcb-icccm4-dev libxcb-image0-dev libxcb-util-dev libxcb-shm0-dev
  libxcb-xkb-dev libxkbcommon-dev libxkbcommon-x11-dev
  libatspi2.0-dev libplist-dev libpng-dev
  libwayland-dev libwayland-bin wayland-protocols)
desktop=(python3 xserver-xorg-core xserver-xorg-video-dummy xvfb x11-xserver-utils x11-utils
  openbox fluxbox i3-wm picom xdotool imagemagick x11-apps xterm tint2
  at-spi2-core dbus dbus-x11 libglib2.0-bin x11-xkb-utils fonts-dejavu-core
  sway swaybg grim wtype python3-pil python3-xlib qt6-wayland
  kwin-wayland libkf5service-bin)
tests=(libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  dpkg-dev fakeroot lintian desktop-file-utils appstream plasma-wayland-protocols)

want=("${build[@]}")
case "${1:-all}" in
  build) ;;
  run) want+=("${desktop[@]}") ;;
  all) want+=("${desktop[@]}" "${tests[@]}") ;;
  *) echo "usage: $0 [build|run|all]" >&2; exit 2 ;;
esac

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
