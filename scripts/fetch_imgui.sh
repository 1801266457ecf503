#!/usr/bin/env bash
# Dear ImGui 1.90.1 from Debian's imgui source package, fetched with a private apt
# configuration so that nothing under /etc/apt changes. The mirror is the one this
# system already uses; the upstream tarball inside is checked, whatever Debian
# revision of the package the archive serves.
set -euo pipefail
cache=$1
version=1.90.1
suite=trixie  # the Debian release that carries imgui 1.90.1
orig_sha256=ecce377df0f90b292f15dcbd83d438bddc162b2388c881132bde18c787572a1c
target="$cache/imgui-$version"
[ -f "$target/imgui.cpp" ] && exit 0

mirror=$("$(dirname "$0")/debian_mirror.sh" || true)
[ -n "$mirror" ] || { echo "fetch_imgui: no Debian mirror found in the apt sources" >&2; exit 1; }

work="$cache/apt-imgui"
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/download"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $suite main" > "$work/sources.list"
opts=(-q -o "Dir::Etc::sourcelist=$work/sources.list" -o Dir::Etc::sourceparts=/dev/null
      -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o APT::Sandbox::User=root)
apt-get "${opts[@]}" update >/dev/null
package_version=$(apt-cache "${opts[@]}" showsrc imgui | awk -v v="$version+ds-" '$1=="Version:" && index($2, v)==1 { print $2; exit }')
[ -n "$package_version" ] || { echo "fetch_imgui: $mirror $suite has no imgui $version source" >&2; exit 1; }
echo "fetch_imgui: fetching imgui $package_version source from $mirror"
(cd "$work/download" && apt-get "${opts[@]}" source --download-only "imgui=$package_version" >/dev/null)
tarball="$work/download/imgui_${version}+ds.orig.tar.xz"
echo "$orig_sha256  $tarball" | sha256sum -c --quiet -
rm -rf "$target.tmp" && mkdir -p "$target.tmp"
tar xf "$tarball" -C "$target.tmp" --strip-components=1
mv "$target.tmp" "$target"
rm -rf "$work"
