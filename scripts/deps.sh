#!/usr/bin/env bash
# Installs and fetches everything Wavelift needs on Debian 12. Safe to run again:
# a second run finds everything in place and changes nothing.
#   scripts/deps.sh            Linux build, tests and benchmarks
#   scripts/deps.sh --windows  also the MinGW-w64 cross compiler and Wine
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cache="$root/.cache"
mkdir -p "$cache"

want_windows=0
[ "${1:-}" = "--windows" ] && want_windows=1

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

linux_packages=(
  build-essential cmake ninja-build pkg-config dpkg-dev xz-utils
  nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev libsndfile1-dev
  libglfw3-dev libgl-dev libgl1-mesa-dri libglx-mesa0 libx11-dev libxrandr-dev
  libfontconfig-dev fonts-open-sans libglib2.0-dev
  libpulse-dev pulseaudio pulseaudio-utils
  xvfb xauth x11-utils xdotool openbox imagemagick sox
  python3-gi gir1.2-gtk-3.0 dbus
  clang libclang-rt-14-dev
)
windows_packages=(g++-mingw-w64-x86-64-posix wine64 wine)

missing_packages() {
  local p
  for p in "$@"; do
    [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" = installed ] || echo "$p"
  done
}

packages=("${linux_packages[@]}")
# The npm client fetches the icon font; Debian's package only when none is installed.
command -v npm >/dev/null || packages+=(npm)
[ "$want_windows" -eq 1 ] && packages+=("${windows_packages[@]}")
mapfile -t missing < <(missing_packages "${packages[@]}")
if [ "${#missing[@]}" -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

"$root/scripts/fetch_imgui.sh" "$cache"
"$root/scripts/fetch_icon_font.sh" "$cache"
