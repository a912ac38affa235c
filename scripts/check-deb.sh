#!/usr/bin/env bash
# Checks the Debian package of the Linux build: its name, version and
# dependencies, exactly the files it promises, lintian (no error and no
# warning that is not overridden with its reason), the changelog's version,
# and that what it installs runs: zgrab on the simulated cameras, and zgrab
# through the GigE Vision library on gevcam's cameras inside a network
# namespace holding only loopback.
#   scripts/check-deb.sh [zavaded_<version>_<arch>.deb]
#       unpacks it into a temporary folder and runs it from there (CI);
#   scripts/check-deb.sh --fresh-bookworm [DEB]
#       installs it with apt into a fresh Debian bookworm (debootstrap, in
#       build/bookworm-root, kept for the next run) and runs it there, as
#       root; it needs the network to reach the Debian mirror once.
set -euo pipefail
fresh=0
if [ "${1:-}" = --fresh-bookworm ]; then
  fresh=1
  shift
fi
deb=${1:+$(realpath "$1")}
cd "$(dirname "$0")/.."
export LC_ALL=C
version=$(sed -n 's/^project(ZavaDED VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=${deb:-$(realpath "build/native/zavaded_${version}_$(dpkg --print-architecture).deb")}

failures=0
fail() {
  echo "check-deb: $*" >&2
  failures=$((failures + 1))
}

[ "$(dpkg-deb --field "$deb" Package)" = zavaded ] || fail "package name is not zavaded"
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "version is not $version"
depends=$(dpkg-deb --field "$deb" Depends)
for needed in libaravis-0.8-0 libgtk-3-0 libstdc++6; do
  case $depends in *"$needed"*) ;; *) fail "does not depend on $needed: $depends" ;; esac
done
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
lib=./usr/lib/$multiarch
files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort)
expected=$(printf '%s\n' ./usr/bin/gevcam ./usr/bin/zgrab ./usr/include/ZavaDED.h \
  "$lib/libZavaDED.so" "$lib/pkgconfig/zavaded.pc" "$lib/zavaded/gige/libZUR.so" \
  "$lib/zavaded/sim/libZUR.so" ./usr/share/doc/zavaded/INTEGRATING.md \
  ./usr/share/doc/zavaded/README.md ./usr/share/doc/zavaded/changelog.gz \
  ./usr/share/doc/zavaded/copyright ./usr/share/lintian/overrides/zavaded \
  ./usr/share/man/man1/gevcam.1.gz ./usr/share/man/man1/zgrab.1.gz | sort)
[ "$files" = "$expected" ] || fail "files differ from the expected ones:
$(diff <(echo "$expected") <(echo "$files") || true)"

# Errors fail, and so does every warning that no override explains.
if command -v lintian >/dev/null; then
  lintian_status=0
  lintian_out=$(lintian --fail-on error,warning "$deb" 2>&1) || lintian_status=$?
  [ "$lintian_status" -eq 0 ] || fail "lintian: $(grep -v 'root privileges' <<<"$lintian_out")"
else
  fail "lintian is not installed (scripts/setup.sh deb)"
fi
changelog_version=$(dpkg-parsechangelog -l packaging/debian/changelog -S Version)
[ "$changelog_version" = "$version" ] ||
  fail "packaging/debian/changelog is at $changelog_version, the project at $version"

# What a user does after installing: grab from the simulated cameras, then
# from gevcam's cameras through the GigE Vision library. $1 is the root.
smoke_test='
set -e
root=$1
cd "$(mktemp -d)"
"$root/usr/bin/zgrab" --frames 1 --format pnm >sim.log || { cat sim.log; exit 1; }
[ "$(ls zgrab-images | wc -l)" = 3 ] || { cat sim.log; exit 1; }
rm -r zgrab-images
unshare --net bash -c "
  set -e
  ip link set lo up
  \"\$0/usr/bin/gevcam\" --idle-timeout 30 127.0.0.2 127.0.0.3 127.0.0.4 >ready &
  for i in \$(seq 100); do [ \$(wc -l <ready) -ge 3 ] && break; sleep 0.1; done
  \"\$0/usr/bin/zgrab\" --zur gige --frames 1 --format pnm >gige.log || { cat gige.log; exit 1; }
  kill \$!
" "$root"
[ "$(ls zgrab-images | wc -l)" = 3 ] || { cat gige.log; exit 1; }
echo "installed package: zgrab grabs from the simulated cameras and, over GigE Vision, from gevcam"
'

if [ "$fresh" = 0 ]; then
  root=$(mktemp -d)
  trap 'rm -rf "$root"' EXIT
  dpkg-deb -x "$deb" "$root"
  # The file names the installed paths, plainly; a sysroot reaches the unpacked ones.
  pc_flags=$(PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_PATH=$root/usr/lib/$multiarch/pkgconfig \
    pkg-config --cflags --libs zavaded)
  [ "$(echo $pc_flags)" = "-I$root/usr/include -L$root/usr/lib/$multiarch -lZavaDED" ] ||
    fail "zavaded.pc gives: $pc_flags"
  # Installed programs find the driver by their own place, not by a run path.
  for program in zgrab gevcam; do
    ! readelf -d "$root/usr/bin/$program" | grep -q 'R.*PATH' ||
      fail "$program carries a run path: $(readelf -d "$root/usr/bin/$program" | grep 'R.*PATH')"
  done
  if [ "$(id -u)" -eq 0 ]; then
    bash -c "$smoke_test" smoke "$root" || fail "the unpacked package does not run"
  else
    unshare -r bash -c "$smoke_test" smoke "$root" || fail "the unpacked package does not run"
  fi
else
  [ "$(id -u)" -eq 0 ] || { echo "check-deb: --fresh-bookworm needs root" >&2; exit 1; }
  scripts/setup.sh fresh
  chroot_dir=$(pwd)/build/bookworm-root
  if [ ! -x "$chroot_dir/usr/bin/apt-get" ]; then
    rm -rf "$chroot_dir"
    debootstrap --variant=minbase bookworm "$chroot_dir" http://deb.debian.org/debian >/dev/null
  fi
  mountpoint -q "$chroot_dir/proc" || mount -t proc proc "$chroot_dir/proc"
  trap 'umount "$chroot_dir/proc" 2>/dev/null || true' EXIT
  cp "$deb" "$chroot_dir/tmp/zavaded.deb"
  # A fresh system: nothing of ours there before.
  chroot "$chroot_dir" sh -c 'dpkg -r zavaded >/dev/null 2>&1; apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq iproute2 pkg-config /tmp/zavaded.deb >/dev/null' ||
    fail "apt cannot install the package into a fresh bookworm"
  chroot "$chroot_dir" bash -c "$smoke_test" smoke "" || fail "the installed package does not run"
  chroot "$chroot_dir" pkg-config --cflags --libs zavaded | grep -q -- '-lZavaDED' ||
    fail "pkg-config does not know zavaded"
fi

[ "$failures" -eq 0 ] || exit 1
echo "Debian package checked: ${deb##*/}"
