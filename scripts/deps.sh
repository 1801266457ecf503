#!/usr/bin/env bash
# Installs and fetches everything Wavelift needs on Debian 12 or 13 (package
# names that both releases carry). Safe to run again:
# a second run finds everything in place and changes nothing.
#   scripts/deps.sh                    building, packaging and running the program
#   scripts/deps.sh --tests            also the test suites, benchmarks and their tools
#   scripts/deps.sh --tests --windows  also the MinGW-w64 cross compiler and Wine
#                                      (--windows alone implies --tests: the Windows
#                                      build is checked by its suites under Wine)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cache="$root/.cache"
mkdir -p "$cache"

want_tests=0
want_windows=0
for option in "$@"; do
  case "$option" in
    --tests) want_tests=1 ;;
    --windows) want_tests=1; want_windows=1 ;;
    *) echo "usage: scripts/deps.sh [--tests] [--windows]" >&2; exit 2 ;;
  esac
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# One list per purpose.
build_packages=(
  build-essential cmake ninja-build pkg-config dpkg-dev file xz-utils
  nlohmann-json3-dev libglfw3-dev libgl-dev libx11-dev libxrandr-dev
  libfontconfig-dev libglib2.0-dev libpulse-dev
)
run_packages=(libgl1-mesa-dri libglx-mesa0 fonts-open-sans)
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev libsndfile1-dev
  pulseaudio pulseaudio-utils
  xvfb xauth x11-utils xdotool openbox imagemagick sox
  python3-gi gir1.2-gtk-3.0 dbus
  mutter xwayland
  clang libclang-rt-dev debootstrap ccache
)
package_check_packages=(lintian appstream desktop-file-utils)
windows_packages=(g++-mingw-w64-x86-64-posix wine64 wine googletest nsis)

missing_packages() {
  local p
  for p in "$@"; do
    [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" = installed ] || echo "$p"
  done
}

packages=("${build_packages[@]}" "${run_packages[@]}")
# The npm client fetches the icon font; Debian's package only when none is installed.
command -v npm >/dev/null || packages+=(npm)
[ "$want_tests" -eq 1 ] && packages+=("${test_packages[@]}" "${package_check_packages[@]}")
[ "$want_windows" -eq 1 ] && packages+=("${windows_packages[@]}")
mapfile -t missing < <(missing_packages "${packages[@]}")
if [ "${#missing[@]}" -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  # Waits for another package manager run to finish instead of failing on its lock.
  apt_options=(-o DPkg::Lock::Timeout=600)
  "${sudo_cmd[@]}" apt-get "${apt_options[@]}" update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "${apt_options[@]}" install -y -qq \
    --no-install-recommends "${missing[@]}"
fi

"$root/scripts/fetch_imgui.sh" "$cache"
"$root/scripts/fetch_icon_font.sh" "$cache"
