#!/usr/bin/env bash
# Cross-builds Wavelift for Windows with MinGW-w64 and runs the Windows builds
# of the test suites under Wine, with a private X server and a private sound
# server (two null sinks) for Wine's audio driver. The last line is CTest's summary.
#   scripts/test_windows.sh [extra ctest arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/deps.sh" --windows

build="$root/build/windows"
jobs=2
export WINEPREFIX="$root/.cache/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export WINEARCH=win64
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

# nlohmann json without the rest of the build machine's include folder.
mkdir -p "$build/json-include"
ln -sfn /usr/include/nlohmann "$build/json-include/nlohmann"
# The compiler cache, where there is one, serves a clone in any folder.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DWAVELIFT_JSON_INCLUDE_DIR="$build/json-include" -DWAVELIFT_SANITIZE= \
  -DWAVELIFT_BUILD_PROGRAM=ON -DWAVELIFT_BUILD_TESTS=ON -DWAVELIFT_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$jobs"

runtime=$(mktemp -d /tmp/wavelift-wine.XXXXXX)
pids=()
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$runtime"
}
trap cleanup EXIT

# A display number nobody uses.
display=100
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1920x1080x24 -nolisten tcp >"$runtime/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=":$display"

export XDG_RUNTIME_DIR="$runtime"
export HOME="$runtime/home"   # sound-server cookie and state stay private
mkdir -p "$HOME"
pulseaudio --daemonize=no --exit-idle-time=-1 --disallow-exit=yes --use-pid-file=no -n \
  --load=module-native-protocol-unix \
  --load="module-null-sink sink_name=wavelift_speakers sink_properties=device.description=Wavelift-Speakers" \
  --load="module-null-sink sink_name=wavelift_headphones sink_properties=device.description=Wavelift-Headphones" \
  >"$runtime/pulse.log" 2>&1 &
pids+=($!)
servers_up() { pactl info >/dev/null 2>&1 && xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; }
for _ in $(seq 100); do
  servers_up && break
  sleep 0.1
done
servers_up || { echo "X server $DISPLAY or sound server not up within 10 s" >&2; cat "$runtime"/*.log >&2; exit 1; }
pactl set-default-sink wavelift_speakers
# An idle null sink's monitor starts late; keep one reader on it.
parec -d wavelift_speakers.monitor >/dev/null 2>&1 &
pids+=($!)

# The prefix is made once and kept in the cache.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix in $WINEPREFIX"
  timeout 600 "$root/scripts/wine_run.sh" wineboot --init >/dev/null 2>&1 || true
  timeout 300 "$wineserver" -w || { echo "Wine prefix not ready within 300 s" >&2; exit 1; }
fi
# One wineserver for the whole run instead of one per process.
"$wineserver" -p -f &
pids+=($!)

ctest --test-dir "$build" --no-tests=error --output-on-failure "$@"
