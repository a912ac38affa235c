#!/usr/bin/env bash
# Installs what the named needs require on Debian, and does nothing (quickly)
# when all of it is there.
#   scripts/setup.sh [--check] NEED...
# Needs: format native asan tsan win64 win32 fuzz bench package gevcam deb fresh, run
# (what scripts/run.sh needs) and test (what scripts/test.sh needs).
# --check only reports what is missing and exits 1 if anything is.
#
# The win32 tests run under Debian's 32-bit Wine. This machine's kernel runs no
# 32-bit Linux programs, so the i386 parts of Wine run under qemu-user, reached
# through a binfmt_misc entry; bookworm's own qemu (7.2) crashes under Wine,
# so qemu-user-static comes from the backports suite.
set -euo pipefail

check_only=0
if [ "${1:-}" = "--check" ]; then
  check_only=1
  shift
fi
[ $# -gt 0 ] || set -- test

# Packages of each need. The Linux flavours build the GTK front end of the
# configuration sheet and the GigE Vision ZUR library over Aravis (linux),
# run the dialog's tests in a virtual display and the GigE Vision tests in a
# network namespace of their own (iproute2 brings up its loopback).
declare -A packages=(
  [base]="ca-certificates git cmake make g++"
  [linux]="pkg-config libgtk-3-dev libaravis-dev libusb-1.0-0-dev iproute2"
  [format]="git clang-format"
  [native]="libgtest-dev googletest libstb-dev xvfb xauth"
  [asan]="libgtest-dev googletest libstb-dev xvfb xauth"
  [tsan]="libgtest-dev googletest libstb-dev xvfb xauth"
  [win64]="googletest libstb-dev g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 xvfb xauth"
  [win32]="googletest libstb-dev g++-mingw-w64-i686-posix binutils-mingw-w64-i686 wine32:i386 xvfb xauth"
  [fuzz]="clang libclang-rt-14-dev"
  [bench]="libbenchmark-dev"
  [gevcam]="aravis-tools-cli aravis-tools libaravis-dev iproute2"
  [deb]="dpkg-dev file lintian xdotool"
  [fresh]="debootstrap"
)
declare -A includes=(
  [native]="linux"
  [asan]="linux"
  [tsan]="linux"
  [fuzz]="linux"
  [run]="native"
  [bench]="native gevcam"
  [package]="win32 native deb"
  [gevcam]="native"
  [test]="format native asan tsan gevcam win64 win32 fuzz package"
)

wanted=()
emulation=0
add_need() {
  local need=$1 part
  if [ -n "${includes[$need]:-}" ]; then
    for part in ${includes[$need]}; do add_need "$part"; done
  fi
  if [ -n "${packages[$need]:-}" ]; then
    wanted+=(${packages[$need]})
  elif [ -z "${includes[$need]:-}" ]; then
    echo "scripts/setup.sh: unknown need '$need'" >&2
    exit 2
  fi
  [ "$need" != win32 ] || emulation=1
}
for need in base "$@"; do add_need "$need"; done

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
backports=${codename}-backports
qemu=/usr/bin/qemu-i386-static
binfmt=/proc/sys/fs/binfmt_misc
# qemu's usual magic and mask for i386 ELF executables (class 1, machine 3).
i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

installed() {
  [ "$(dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null)" = "ii " ]
}

# What is missing, found before anything is done.
missing=()
declare -A seen=()
for package in "${wanted[@]}"; do
  [ -z "${seen[$package]:-}" ] || continue
  seen[$package]=1
  installed "$package" || missing+=("$package")
done
todo=()
[ ${#missing[@]} -eq 0 ] || todo+=("install ${missing[*]}")
need_arch=0 need_backports=0 need_qemu=0 need_mount=0 need_entry=0
if [ "$emulation" = 1 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    need_arch=1
    todo+=("add the i386 architecture to dpkg")
  fi
  version=$(dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null || true)
  if ! installed qemu-user-static || ! dpkg --compare-versions "$version" ge 1:8; then
    need_qemu=1
    if ! "$(dirname "$0")/apt-mirror.sh" "$backports" >/dev/null; then
      need_backports=1
      todo+=("add the $backports suite to apt's sources")
    fi
    todo+=("install qemu-user-static from $backports")
  fi
  if [ ! -e "$binfmt/register" ]; then
    need_mount=1
    todo+=("mount binfmt_misc on $binfmt")
  fi
  entry=$binfmt/qemu-i386
  if [ "$need_mount" = 1 ] || [ "$need_qemu" = 1 ] || ! grep -qx enabled "$entry" ||
      ! grep -qx "interpreter $qemu" "$entry" || ! grep -q '^flags: .*F' "$entry"; then
    need_entry=1
    todo+=("register $qemu for i386 ELF programs in binfmt_misc")
  fi
fi

[ ${#todo[@]} -gt 0 ] || exit 0
if [ "$check_only" = 1 ]; then
  echo "scripts/setup.sh: missing for $*:"
  printf '  %s\n' "${todo[@]}"
  exit 1
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "scripts/setup.sh: these steps need root, and you are not root (and there is no sudo):" >&2
    printf '  %s\n' "${todo[@]}" >&2
    echo "Run scripts/setup.sh $* as root, then run this command again." >&2
    exit 1
  fi
  as_root=(sudo)
fi
say() { printf 'setup: %s\n' "$*"; }
# No questions (sudo would drop the variable from the environment); another
# apt run may hold the lock for a while: wait for it.
apt=("${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -o DPkg::Lock::Timeout=600)

if [ "$need_arch" = 1 ]; then
  say "adding the i386 architecture"
  "${as_root[@]}" dpkg --add-architecture i386
fi
if [ "$need_backports" = 1 ]; then
  # The same mirror as the system's own entry for the release, in either of
  # apt's source layouts.
  if ! uri=$("$(dirname "$0")/apt-mirror.sh" "$codename"); then
    echo "scripts/setup.sh: no apt source for $codename found to take the mirror from" >&2
    exit 1
  fi
  say "adding $backports from $uri"
  printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
    "$uri" "$backports" /usr/share/keyrings/debian-archive-keyring.gpg |
    "${as_root[@]}" tee "/etc/apt/sources.list.d/$backports.sources" >/dev/null
fi
if [ ${#missing[@]} -gt 0 ] || [ "$need_arch" = 1 ] || [ "$need_backports" = 1 ] ||
    [ "$need_qemu" = 1 ]; then
  say "apt-get update"
  # A mirror caught mid-sync serves an index of the wrong size for a minute
  # or so: try again before going on with what apt has.
  for try in 1 2 3 4; do
    "${apt[@]}" update -qq && break
    if [ "$try" = 4 ]; then
      say "apt-get update still fails; going on with the indexes apt has"
      update_failed=1
    else
      sleep $((try * 15))
    fi
  done
fi
if [ ${#missing[@]} -gt 0 ]; then
  say "installing ${missing[*]}"
  if ! "${apt[@]}" install -qq "${missing[@]}" >/dev/null; then
    [ "${update_failed:-0}" = 1 ] || exit 100
    # An index that did not arrive (seen: the security suite's i386 one)
    # leaves one architecture with newer versions than the other, and
    # Multi-Arch packages must match: take both from the release's own suite.
    say "installing again with the security suite below the release"
    prefs=$(mktemp)
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$prefs"
    chmod 644 "$prefs"
    "${apt[@]}" -o Dir::Etc::Preferences="$prefs" install -qq "${missing[@]}" >/dev/null
    rm -f "$prefs"
  fi
fi
if [ "$need_qemu" = 1 ]; then
  say "installing qemu-user-static from $backports"
  "${apt[@]}" install -qq -t "$backports" qemu-user-static >/dev/null
fi
if [ "$need_mount" = 1 ]; then
  say "mounting binfmt_misc"
  "${as_root[@]}" mount -t binfmt_misc binfmt_misc "$binfmt"
fi
if [ "$need_entry" = 1 ]; then
  # Flag F: the kernel opens the interpreter now, so a new qemu needs a new entry.
  say "registering $qemu for i386 ELF programs"
  if [ -e "$binfmt/qemu-i386" ]; then
    echo -1 | "${as_root[@]}" tee "$binfmt/qemu-i386" >/dev/null
  fi
  printf ':qemu-i386:M::%s:%s:%s:F\n' "$i386_magic" "$i386_mask" "$qemu" |
    "${as_root[@]}" tee "$binfmt/register" >/dev/null
fi
if [ "$emulation" = 1 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "scripts/setup.sh: 32-bit Wine (/usr/lib/wine/wine) does not start, even after the set-up" >&2
  exit 1
fi
say "done"
