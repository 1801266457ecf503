#!/usr/bin/env bash
# Builds Wavelift in a fresh Debian 13 system and runs its unit, ui and Linux
# suites there, set up as a new user would: scripts/deps.sh --tests run by a
# user with sudo. Debootstrap's system and a second layer holding what deps.sh
# installed are kept under $WAVELIFT_DEBIAN13_CACHE (made again when missing or
# when the dependency scripts change); each run works on an overlay of the two,
# so nothing a run does is kept. Needs root.
#   scripts/test_debian13.sh            the build and suites as below
#   scripts/test_debian13.sh 'COMMAND'  COMMAND instead, run by the user in the tree
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${WAVELIFT_DEBIAN13_CACHE:-/var/cache/wavelift}
base="$cache/debian13-root"
deps_layer="$cache/debian13-deps"
user=builder
home=/home/$user
jobs=2

[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"
# The mounts stay private to this script, so none is left behind even when it is killed.
if [ "${WAVELIFT_PRIVATE_MOUNTS:-}" != 1 ]; then
  WAVELIFT_PRIVATE_MOUNTS=1 exec unshare --mount --propagation private "$0" "$@"
fi

run=$(mktemp -d /tmp/wavelift-debian13.XXXXXX)
system="$run/system"
mounted=()
cleanup() {
  local proc i
  # Whatever still runs inside would hold the mounts.
  for proc in /proc/[0-9]*; do
    [ "$(readlink "$proc/root" 2>/dev/null)" = "$system" ] && kill -9 "${proc#/proc/}" 2>/dev/null || true
  done
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" 2>/dev/null || true
  done
  rm -rf "$run"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

mount_at() {  # target, mount arguments...
  local target=$1; shift
  mount "$@" "$target"
  mounted+=("$target")
}

# An overlay of `lowers` (colon-separated, upper first) at $system, with its
# changes in `changes`, and the kernel's file systems inside it.
enter_system() {  # lowers, changes
  local work
  work="$(dirname "$2")/work"
  mkdir -p "$2" "$work" "$system"
  mount_at "$system" -t overlay overlay -o "lowerdir=$1,upperdir=$2,workdir=$work"
  mount_at "$system/proc" -t proc proc
  mount_at "$system/sys" --bind /sys
  mount_at "$system/dev" --bind /dev
  mount_at "$system/dev/pts" --bind /dev/pts
  mount_at "$system/dev/shm" -t tmpfs tmpfs
  # The host's resolver and its local certificate authorities (a network that
  # inspects HTTPS needs them for the npm fetch).
  cp /etc/resolv.conf /etc/hosts "$system/etc/"
  if compgen -G '/usr/local/share/ca-certificates/*' >/dev/null; then
    cp -r /usr/local/share/ca-certificates/. "$system/usr/local/share/ca-certificates/"
    chroot "$system" update-ca-certificates >/dev/null 2>&1
  fi
}

leave_system() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}"; done
  mounted=()
}

as_user() {  # command line, run by the user in the source tree
  chroot "$system" runuser -u "$user" -- env -i HOME="$home" USER="$user" LANG=C.UTF-8 \
    PATH=/usr/local/bin:/usr/bin:/bin bash -c "cd $home/wavelift && $1"
}

if [ ! -d "$base" ]; then
  command -v debootstrap >/dev/null || { echo "test_debian13: debootstrap is missing (scripts/deps.sh --tests)" >&2; exit 1; }
  mirror=$("$root/scripts/debian_mirror.sh" || true)
  [ -n "$mirror" ] || { echo "test_debian13: no Debian mirror found in the apt sources" >&2; exit 1; }
  echo "test_debian13: making a Debian 13 system from $mirror"
  rm -rf "$base.tmp"
  debootstrap --variant=minbase --include=sudo,ca-certificates trixie "$base.tmp" "$mirror" \
    >"$cache/debootstrap.log" 2>&1 || { tail -n 20 "$cache/debootstrap.log" >&2; exit 1; }
  chroot "$base.tmp" useradd --create-home --shell /bin/bash "$user"
  echo "$user ALL=(ALL) NOPASSWD: ALL" >"$base.tmp/etc/sudoers.d/$user"
  chmod 0440 "$base.tmp/etc/sudoers.d/$user"
  rm -rf "$deps_layer"
  mv "$base.tmp" "$base"
fi

# The layer is only as current as the scripts that filled it.
deps_key=$(cat "$root"/scripts/{deps.sh,fetch_imgui.sh,fetch_icon_font.sh,debian_mirror.sh} | sha256sum | cut -d' ' -f1)
if [ "$(cat "$deps_layer/key" 2>/dev/null)" != "$deps_key" ]; then
  echo "test_debian13: installing the dependencies into a new layer"
  rm -rf "$deps_layer" "$deps_layer.tmp"
  enter_system "$base" "$deps_layer.tmp/changes"
  # deps.sh with its helpers; the folder it fills (.cache) stays in the layer.
  mkdir -p "$system$home/wavelift"
  cp -r "$root/scripts" "$system$home/wavelift/"
  chroot "$system" chown -R "$user:$user" "$home/wavelift"
  as_user "scripts/deps.sh --tests" >"$cache/debian13-deps.log" 2>&1 || { tail -n 30 "$cache/debian13-deps.log" >&2; exit 1; }
  rm -rf "$system$home/wavelift/scripts" "$system/var/cache/apt/archives/"*.deb
  leave_system
  rm -rf "$deps_layer.tmp/work"
  echo "$deps_key" >"$deps_layer.tmp/key"
  mv "$deps_layer.tmp" "$deps_layer"
fi

enter_system "$deps_layer/changes:$base" "$run/changes"
# The tree as it is now, without build folders and the host's fetched files.
tar -C "$root" --exclude=./build --exclude=./.cache --exclude=./.git -cf - . | tar -C "$system$home/wavelift" -xf -
chroot "$system" chown -R "$user:$user" "$home/wavelift"
# Compiler results are kept between runs, beside the system.
mkdir -p "$cache/debian13-ccache" "$system$home/.ccache"
mount_at "$system$home/.ccache" --bind "$cache/debian13-ccache"
chroot "$system" chown "$user:$user" "$home/.ccache"

echo "test_debian13: $(chroot "$system" g++ --version | head -n 1)"
if [ $# -gt 0 ]; then
  as_user "$1"
  exit
fi
as_user "scripts/deps.sh --tests"
as_user "cmake -S . -B build/linux -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWAVELIFT_SANITIZE= \
  -DWAVELIFT_BUILD_PROGRAM=ON -DWAVELIFT_BUILD_TESTS=ON -DWAVELIFT_BUILD_BENCH=ON \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null &&
  cmake --build build/linux -j$jobs >build/build.log 2>&1 || { tail -n 60 build/build.log; exit 1; }
  grep -i 'warning' build/build.log || echo 'test_debian13: no warnings'
  ctest --test-dir build/linux -L 'unit|ui|linux' --no-tests=error --output-on-failure -j$jobs"
