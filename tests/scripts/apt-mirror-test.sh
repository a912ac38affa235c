#!/usr/bin/env bash
# scripts/apt-mirror.sh against apt source folders of each layout: deb822
# only (a current bookworm image), one-line only (debootstrap, and systems
# upgraded from older releases), both, and the entries it must pass over.
set -euo pipefail
tool=${1:?usage: apt-mirror-test.sh scripts/apt-mirror.sh}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# case NAME SUITE EXPECTED FILE CONTENT [FILE CONTENT ...]; EXPECTED "-" means none.
case_() {
  local name=$1 suite=$2 expected=$3 folder=$work/$1 got status=0
  shift 3
  mkdir -p "$folder/sources.list.d"
  while [ $# -gt 0 ]; do
    printf '%s\n' "$2" >"$folder/$1"
    shift 2
  done
  got=$("$tool" "$suite" "$folder") || status=$?
  if [ "$expected" = - ]; then
    [ "$status" -eq 1 ] && [ -z "$got" ] || { echo "FAIL $name: expected none, got '$got' ($status)"; failures=$((failures + 1)); }
  elif [ "$status" -ne 0 ] || [ "$got" != "$expected" ]; then
    echo "FAIL $name: expected '$expected', got '$got' ($status)"
    failures=$((failures + 1))
  fi
}

bookworm822='Types: deb
# http://snapshot.debian.org/archive/debian/20250520T000000Z
URIs: http://deb.example/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://security.example/debian-security
Suites: bookworm-security
Components: main'

case_ deb822-only bookworm http://deb.example/debian sources.list.d/debian.sources "$bookworm822"
case_ deb822-second-stanza bookworm-security http://security.example/debian-security \
  sources.list.d/debian.sources "$bookworm822"
case_ one-line-only bookworm http://classic.example/debian \
  sources.list 'deb http://classic.example/debian bookworm main'
case_ one-line-passed-over bookworm http://good.example/debian sources.list \
  '# deb http://commented.example/debian bookworm main
deb-src http://source.example/debian bookworm main
deb http://other.example/debian bookworm-updates main
deb [arch=amd64 signed-by=/usr/share/keyrings/a.gpg] http://good.example/debian bookworm main contrib'
case_ one-line-in-list-file bookworm http://list.example/debian \
  sources.list '' sources.list.d/mirror.list 'deb http://list.example/debian bookworm main'
case_ both-layouts-deb822-first bookworm http://deb.example/debian \
  sources.list 'deb http://classic.example/debian bookworm main' \
  sources.list.d/debian.sources "$bookworm822"
case_ both-layouts-suite-only-one-line bookworm http://classic.example/debian \
  sources.list 'deb http://classic.example/debian bookworm main' \
  sources.list.d/other.sources 'Types: deb
URIs: http://other.example/debian
Suites: trixie
Components: main'
case_ deb822-passed-over bookworm http://good.example/debian sources.list.d/debian.sources \
  'Types: deb
URIs: http://disabled.example/debian
Suites: bookworm
Enabled: no

Types: deb-src
URIs: http://source.example/debian
Suites: bookworm

Types: deb
URIs: http://good.example/debian
Suites: bookworm
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 Suites: not-a-field
 -----END PGP PUBLIC KEY BLOCK-----'
case_ backports-not-a-prefix bookworm-backports - sources.list.d/debian.sources "$bookworm822" \
  sources.list 'deb http://classic.example/debian bookworm main'
case_ nothing bookworm -

[ "$failures" -eq 0 ] || exit 1
echo "apt-mirror: all cases passed"
