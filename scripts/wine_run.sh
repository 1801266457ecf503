#!/usr/bin/env bash
# Runs one Windows executable under Wine in the project's own prefix. CTest uses
# this as the emulator of the cross build. A crash ends the process instead of
# opening the debugger.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$root/.cache/wine-prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}"
export WINEARCH=win64
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)

# Wine's own background services, started by whichever process needs them
# first, inherit its output. Through a file they cannot hold the caller's pipe
# open after the program has ended.
output=$(mktemp /tmp/wavelift-wine-output.XXXXXX)
"$wine" "$@" >"$output" 2>&1 </dev/null
status=$?
cat "$output"
rm -f "$output"
exit "$status"
