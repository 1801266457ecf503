#!/usr/bin/env bash
# The Font Awesome 5.15.3 Free Solid TrueType file from its npm package.
set -euo pipefail
cache=$1
font="$cache/fa-solid-900.ttf"
font_sha256=3d06af1f31cd83ace7a265a014b8fb5dee15770ecac8f7a55555190e627e03c2
if [ -f "$font" ] && echo "$font_sha256  $font" | sha256sum -c --quiet - 2>/dev/null; then
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "fetch_icon_font: fetching @fortawesome/fontawesome-free@5.15.3"
# npm's own message says why when the download fails.
(cd "$work" && npm pack --loglevel=error @fortawesome/fontawesome-free@5.15.3 >"$work/npm.log" 2>&1) ||
  { tail -n 5 "$work/npm.log" >&2; echo "fetch_icon_font: npm could not fetch the icon font" >&2; exit 1; }
tar xzf "$work"/fortawesome-fontawesome-free-5.15.3.tgz -C "$work" package/webfonts/fa-solid-900.ttf
echo "$font_sha256  $work/package/webfonts/fa-solid-900.ttf" | sha256sum -c --quiet -
cp "$work/package/webfonts/fa-solid-900.ttf" "$font.tmp" && mv "$font.tmp" "$font"
