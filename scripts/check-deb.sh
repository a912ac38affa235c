#!/usr/bin/env bash
# Checks the Debian packages of the Linux build, zavaded (the headless core)
# and zavaded-gtk (its configuration dialog): their names, versions and
# dependencies (no window system in the core), exactly the files they
# promise, lintian on both (no error, and no warning that is not overridden
# with its reason), the changelog's version, and that what they install
# works as a user meets it: zgrab on the simulated cameras and, inside a
# network namespace holding only loopback, through the GigE Vision library
# on gevcam's cameras; the integrator's guide's Linux host built with
# pkg-config and run; configureCamera without the dialog package (a message
# and 0), and with it in a virtual display (the dialog shows and is closed
# with Escape).
#   scripts/check-deb.sh [zavaded_<version>_<arch>.deb [zavaded-gtk_<version>_<arch>.deb]]
#       unpacks them into a temporary folder and runs them from there (CI);
#       the dialog package is taken from the core's folder unless named;
#   scripts/check-deb.sh --fresh-bookworm [DEB [GTK_DEB]]
#       installs them with apt into a fresh Debian bookworm (debootstrap,
#       kept in build/bookworm-root and copied for each run) and runs them
#       there, as root, printing the size and the number of packages the
#       headless core brings; it needs the network to reach the Debian
#       mirror.
set -euo pipefail
fresh=0
if [ "${1:-}" = --fresh-bookworm ]; then
  fresh=1
  shift
fi
deb=${1:+$(realpath "$1")}
gtk_deb=${2:+$(realpath "$2")}
cd "$(dirname "$0")/.."
export LC_ALL=C
version=$(sed -n 's/^project(ZavaDED VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
deb=${deb:-$(realpath "build/native/zavaded_${version}_$arch.deb")}
gtk_deb=${gtk_deb:-${deb%/*}/zavaded-gtk_${version}_$arch.deb}

failures=0
fail() {
  echo "check-deb: $*" >&2
  failures=$((failures + 1))
}
field() { dpkg-deb --field "$1" "$2"; }
contains() {
  case $1 in *"$2"*) return 0 ;; *) return 1 ;; esac
}

for package in "$deb:zavaded" "$gtk_deb:zavaded-gtk"; do
  file=${package%:*} name=${package##*:}
  [ -f "$file" ] || { echo "check-deb: no $file (scripts/package.sh)" >&2; exit 1; }
  [ "$(field "$file" Package)" = "$name" ] || fail "${file##*/} is not the package $name"
  [ "$(field "$file" Version)" = "$version" ] || fail "$name's version is not $version"
done
depends=$(field "$deb" Depends)
for needed in libaravis-0.8-0 libstdc++6; do
  contains "$depends" "$needed" || fail "zavaded does not depend on $needed: $depends"
done
for window_system in libgtk libgdk libx11 libxcb libwayland; do
  ! contains "$depends" "$window_system" || fail "zavaded depends on $window_system: $depends"
done
contains "$(field "$deb" Suggests)" zavaded-gtk || fail "zavaded does not suggest zavaded-gtk"
contains "$(field "$deb" Recommends)" iproute2 || fail "zavaded does not recommend iproute2"
gtk_depends=$(field "$gtk_deb" Depends)
for needed in "zavaded (= $version)" libgtk-3-0; do
  contains "$gtk_depends" "$needed" || fail "zavaded-gtk does not depend on $needed: $gtk_depends"
done

files_of() { dpkg-deb --fsys-tarfile "$1" | tar -t | grep -v '/$' | sort; }
lib=./usr/lib/$multiarch
expected=$(printf '%s\n' ./usr/bin/gevcam ./usr/bin/zgrab ./usr/include/ZavaDED.h \
  ./etc/zavaded/zavaded.conf "$lib/libZavaDED.so" "$lib/pkgconfig/zavaded.pc" "$lib/zavaded/gige/libZUR.so" \
  "$lib/zavaded/sim/libZUR.so" ./usr/share/doc/zavaded/INTEGRATING.md \
  ./usr/share/doc/zavaded/README.md ./usr/share/doc/zavaded/changelog.gz \
  ./usr/share/doc/zavaded/copyright ./usr/share/lintian/overrides/zavaded \
  ./usr/share/man/man1/gevcam.1.gz ./usr/share/man/man1/zgrab.1.gz | sort)
[ "$(files_of "$deb")" = "$expected" ] || fail "zavaded's files differ from the expected ones:
$(diff <(echo "$expected") <(files_of "$deb") || true)"
expected=$(printf '%s\n' "$lib/zavaded/libZavaDED-gtk.so" ./usr/share/doc/zavaded-gtk/changelog.gz \
  ./usr/share/doc/zavaded-gtk/copyright | sort)
[ "$(files_of "$gtk_deb")" = "$expected" ] || fail "zavaded-gtk's files differ from the expected ones:
$(diff <(echo "$expected") <(files_of "$gtk_deb") || true)"

# Errors fail, and so does every warning that no override explains.
if command -v lintian >/dev/null; then
  for file in "$deb" "$gtk_deb"; do
    lintian_status=0
    lintian_out=$(lintian --fail-on error,warning "$file" 2>&1) || lintian_status=$?
    [ "$lintian_status" -eq 0 ] ||
      fail "lintian on ${file##*/}: $(grep -v 'root privileges' <<<"$lintian_out")"
  done
else
  fail "lintian is not installed (scripts/setup.sh deb)"
fi
changelog_version=$(dpkg-parsechangelog -l packaging/debian/changelog -S Version)
[ "$changelog_version" = "$version" ] ||
  fail "packaging/debian/changelog is at $changelog_version, the project at $version"

# The hosts a user builds against the package: the guide's Linux example,
# and one that asks for the configuration dialog of the first camera.
guide_host=$(sed -n '/<!-- host-example-linux.c/,/^```$/p' docs/INTEGRATING.md | sed '1,2d;$d')
[ -n "$guide_host" ] || fail "docs/INTEGRATING.md has no Linux host example"
configure_host='
#include <stdio.h>
#include "ZavaDED.h"
static void ZAVADED_CALL OnMessage(const char* text) { fputs(text, stdout); }
int main(void) {
    char** names;
    if (initialize("/tmp", OnMessage) != 1 || (names = getCVLCameraConfigNames()) == NULL ||
        names[0] == NULL)
        return 2;
    printf("configureCamera: %d\n", configureCamera(NULL, names[0]));
    finalize();
    return 0;
}'

# What a user does after installing, in a scratch folder: grab from the
# simulated cameras, then from gevcam's cameras through the GigE Vision
# library; build and run the hosts; ask for the dialog that is not there.
# $1 is the root, $2 the extra flags that reach the installed libraries.
user_test='
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
printf "%s\n" "$GUIDE_HOST" >host.c
printf "%s\n" "$CONFIGURE_HOST" >configure.c
for host in host configure; do
  cc -Wall -Werror -o $host $host.c $(pkg-config --cflags --libs zavaded)
done
./host >host.log || { cat host.log; exit 1; }
grep -q ": image 2, .* rows read" host.log || { cat host.log; exit 1; }
echo "installed package: the guide'"'"'s Linux host builds with pkg-config and grabs"
DISPLAY=:99 ./configure >configure.log || { cat configure.log; exit 1; }
grep -q "the configuration dialog is not installed" configure.log &&
  grep -q "^configureCamera: 0" configure.log || { cat configure.log; exit 1; }
echo "installed package: without zavaded-gtk configureCamera says the dialog is not installed"
cp configure /tmp/zavaded-configure-host
'

# With the dialog package: the dialog shows in a virtual display, found by
# its title, and Escape closes it (configureCamera returns 0, nothing logged).
dialog_test='
set -e
cd "$(mktemp -d)"
xvfb-run -a bash -c "
  /tmp/zavaded-configure-host >configure.log 2>&1 &
  host=\$!
  window=\$(timeout 30 xdotool search --sync --name \"Configure camera on port\" | head -1) ||
    { kill \$host; exit 1; }
  xdotool windowfocus --sync \$window key Escape
  timeout 30 tail --pid=\$host -f /dev/null
  wait \$host
" || { cat configure.log; exit 1; }
grep -q "^configureCamera: 0" configure.log && ! grep -q ERROR configure.log ||
  { cat configure.log; exit 1; }
echo "installed dialog: configureCamera shows it in a virtual display, Escape closes it"
'
export GUIDE_HOST=$guide_host CONFIGURE_HOST=$configure_host

if [ "$fresh" = 0 ]; then
  root=$(mktemp -d)
  trap 'rm -rf "$root" /tmp/zavaded-configure-host' EXIT
  dpkg-deb -x "$deb" "$root"
  # The file names the installed paths, plainly; a sysroot reaches the unpacked ones.
  export PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_PATH=$root/usr/lib/$multiarch/pkgconfig
  pc_flags=$(pkg-config --cflags --libs zavaded)
  [ "$(echo $pc_flags)" = "-I$root/usr/include -L$root/usr/lib/$multiarch -lZavaDED" ] ||
    fail "zavaded.pc gives: $pc_flags"
  # Installed programs find the driver by their own place, not by a run path.
  for program in zgrab gevcam; do
    ! readelf -d "$root/usr/bin/$program" | grep -q 'R.*PATH' ||
      fail "$program carries a run path: $(readelf -d "$root/usr/bin/$program" | grep 'R.*PATH')"
  done
  ! readelf -d "$root/usr/lib/$multiarch/libZavaDED.so" | grep -q 'NEEDED.*gtk' ||
    fail "libZavaDED.so links GTK"
  export LD_LIBRARY_PATH=$root/usr/lib/$multiarch
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(unshare -r)
  "${as_root[@]}" bash -c "$user_test" user "$root" || fail "the unpacked package does not work"
  dpkg-deb -x "$gtk_deb" "$root"
  bash -c "$dialog_test" || fail "the unpacked dialog package does not show the dialog"
else
  [ "$(id -u)" -eq 0 ] || { echo "check-deb: --fresh-bookworm needs root" >&2; exit 1; }
  scripts/setup.sh fresh
  base=$(pwd)/build/bookworm-root
  chroot_dir=$(pwd)/build/bookworm-run
  if [ ! -x "$base/usr/bin/apt-get" ]; then
    rm -rf "$base"
    debootstrap --variant=minbase bookworm "$base" http://deb.debian.org/debian >/dev/null
  fi
  # Each run starts from the system debootstrap made, so that the counts
  # below are those of a fresh machine.
  rm -rf "$chroot_dir"
  cp -a "$base" "$chroot_dir"
  mount -t proc proc "$chroot_dir/proc"
  trap 'umount "$chroot_dir/proc" 2>/dev/null || true' EXIT
  cp "$deb" "$chroot_dir/tmp/zavaded.deb"
  cp "$gtk_deb" "$chroot_dir/tmp/zavaded-gtk.deb"
  in_root() { chroot "$chroot_dir" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C \
    DEBIAN_FRONTEND=noninteractive GUIDE_HOST="$GUIDE_HOST" CONFIGURE_HOST="$CONFIGURE_HOST" "$@"; }
  installed() { in_root dpkg-query -W -f '${db:Status-Abbrev} ${Installed-Size} ${Package}\n' |
    awk '$1 == "ii" { n++; kb += $2 } END { printf "%d %d\n", n, kb }'; }
  in_root apt-get update -qq || fail "apt cannot reach the mirror"
  read -r packages_before kb_before <<<"$(installed)"
  # What it would bring without the packages that it and its dependencies
  # recommend (iproute2; GLib's data and MIME database), from apt's plan.
  read -r lean_packages lean_kb <<<"$(in_root sh -c 'apt-get install -s --no-install-recommends \
    /tmp/zavaded.deb | sed -n "s/^Inst \([^ ]*\) .*/\1/p" | while read -r p; do
      echo "$(apt-cache show --no-all-versions "$p" 2>/dev/null |
        sed -n "s/^Installed-Size: //p") $p"; done |
    awk "{ n++; kb += \$1 } END { printf \"%d %d\\n\", n, kb }"')"
  # As a user installs it: with the packages it recommends.
  in_root apt-get install -y -qq /tmp/zavaded.deb >/dev/null ||
    fail "apt cannot install zavaded into a fresh bookworm"
  read -r packages_after kb_after <<<"$(installed)"
  awk -v n=$((packages_after - packages_before)) -v kb=$((kb_after - kb_before)) \
    -v ln="$lean_packages" -v lkb="$lean_kb" 'BEGIN {
    printf "check-deb: the headless core brings %d packages, %.1f MB installed, %.2f of the " \
           "216 MB (126 packages) of the package that linked GTK;\n", n, kb / 1024, kb / 1024 / 216
    printf "check-deb: without recommended packages %d packages, %.1f MB, %.2f of its " \
           "177 MB (110 packages)\n", ln, lkb / 1024, lkb / 1024 / 177 }'
  window_packages=$(in_root dpkg-query -W -f '${Package}\n' |
    grep -E '^(libgtk|libgdk|libx11|libxcb|libwayland|xserver|libdbus)' || true)
  [ -z "$window_packages" ] || fail "the core brought window-system packages:" $window_packages
  in_root apt-get install -y -qq --no-install-recommends gcc libc6-dev pkg-config >/dev/null ||
    fail "apt cannot install a C compiler"
  in_root bash -c "$user_test" user "" || fail "the installed package does not work"
  in_root apt-get install -y -qq /tmp/zavaded-gtk.deb xvfb xauth xdotool >/dev/null ||
    fail "apt cannot install zavaded-gtk on top of zavaded"
  in_root bash -c "$dialog_test" || fail "the installed dialog package does not show the dialog"
fi

[ "$failures" -eq 0 ] || exit 1
echo "Debian packages checked: ${deb##*/} ${gtk_deb##*/}"
