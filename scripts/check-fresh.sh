#!/usr/bin/env bash
# Runs the README's two set-up commands, scripts/run.sh and scripts/test.sh,
# in a fresh Debian bookworm made with debootstrap, as a newcomer's machine
# would run them: apt sources in the classic /etc/apt/sources.list (what
# debootstrap writes, and what systems upgraded from older releases keep),
# nothing installed beyond the minimal base. Root only; not part of CI.
#   scripts/check-fresh.sh [COMMIT]      (default HEAD)
# The base system is made once in build/fresh-base (it needs the Debian
# mirror, a few minutes) and copied for every run into build/fresh-root, so
# each run starts from nothing. The clone of COMMIT lands in /work/zavaded
# there; the run takes as long as a CI run on a fresh machine plus the
# installs.
set -euo pipefail
cd "$(dirname "$0")/.."
commit=${1:-HEAD}
[ "$(id -u)" -eq 0 ] || { echo "check-fresh: needs root (debootstrap, chroot)" >&2; exit 1; }
scripts/setup.sh fresh
base=$(pwd)/build/fresh-base
root=$(pwd)/build/fresh-root

if [ ! -x "$base/usr/bin/apt-get" ]; then
  rm -rf "$base"
  debootstrap --variant=minbase bookworm "$base" http://deb.debian.org/debian >/dev/null
fi
[ ! -e "$base/etc/apt/sources.list.d/debian.sources" ] ||
  { echo "check-fresh: $base has deb822 sources; expected debootstrap's sources.list" >&2; exit 1; }

mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; --i)); do umount -l "${mounted[$i]}" 2>/dev/null || true; done
}
trap cleanup EXIT
mount_in() {  # TYPE-OR-BIND SOURCE TARGET
  mkdir -p "$root$3"
  if [ "$1" = bind ]; then mount --bind "$2" "$root$3"; else mount -t "$1" "$2" "$root$3"; fi
  mounted+=("$root$3")
}

rm -rf "$root"
cp -a "$base" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount_in proc proc /proc
mount_in sysfs sysfs /sys
mount_in bind /dev /dev
mount_in tmpfs tmpfs /dev/shm
git clone -q --no-hardlinks "$(pwd)" "$root/work/zavaded"
git -C "$root/work/zavaded" checkout -q "$(git rev-parse "$commit")"

echo "check-fresh: the README's two commands in a fresh bookworm ($(git rev-parse --short "$commit"))"
start=$EPOCHREALTIME
chroot "$root" env -i HOME=/root TERM=dumb PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  bash -c 'cd /work/zavaded && scripts/run.sh && scripts/test.sh'
awk -v s="$start" -v e="$EPOCHREALTIME" 'BEGIN { printf "check-fresh: passed in %.0f s\n", e - s }'
