#!/usr/bin/env bash
# Dear ImGui 1.90.1 from Debian's imgui source package, fetched with a private apt
# configuration so that nothing under /etc/apt changes. The mirror is the one this
# system already uses.
set -euo pipefail
cache=$1
version=1.90.1
debian_version=1.90.1+ds-1
orig_sha256=ecce377df0f90b292f15dcbd83d438bddc162b2388c881132bde18c787572a1c
target="$cache/imgui-$version"
[ -f "$target/imgui.cpp" ] && exit 0

# First URI of the system's main Debian archive (deb822 or one-line sources).
debian_mirror() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN{RS=""; FS="\n"}
      { uri=""; main=0
        for (i=1;i<=NF;i++) {
          if ($i ~ /^URIs:/) { split(substr($i,6), u, " "); uri=u[1] }
          if ($i ~ /^Suites:/ && $i ~ /[ \t](bookworm|trixie|sid)([ \t]|$)/) main=1
        }
        if (main && uri != "") { print uri; exit } }' "$f"
  done
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk '$1=="deb" { for (i=2;i<=NF;i++) if ($i !~ /^\[/ && $i !~ /\]$/) { if ($(i+1) !~ /-(security|updates)/) print $i; break } }' || true
}
mirror=$(debian_mirror | grep -v security | head -n 1 || true)
[ -n "$mirror" ] || { echo "fetch_imgui: no Debian mirror found in the apt sources" >&2; exit 1; }

work="$cache/apt-imgui"
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/download"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror trixie main" > "$work/sources.list"
opts=(-q -o "Dir::Etc::sourcelist=$work/sources.list" -o Dir::Etc::sourceparts=/dev/null
      -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o APT::Sandbox::User=root)
echo "fetch_imgui: fetching imgui $debian_version source from $mirror"
apt-get "${opts[@]}" update >/dev/null
(cd "$work/download" && apt-get "${opts[@]}" source --download-only "imgui=$debian_version" >/dev/null)
tarball="$work/download/imgui_${version}+ds.orig.tar.xz"
echo "$orig_sha256  $tarball" | sha256sum -c --quiet -
rm -rf "$target.tmp" && mkdir -p "$target.tmp"
tar xf "$tarball" -C "$target.tmp" --strip-components=1
mv "$target.tmp" "$target"
rm -rf "$work"
