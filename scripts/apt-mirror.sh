#!/usr/bin/env bash
# Prints the mirror that apt's own sources use for a Debian suite, so that a
# new suite of the same release can come from the same place.
#   scripts/apt-mirror.sh SUITE [APT_FOLDER]
# APT_FOLDER is /etc/apt unless given (tests give fixture folders). Both of
# apt's source layouts count, alone or together: deb822 stanzas in
# sources.list.d/*.sources, which come first, and one-line entries in
# sources.list and sources.list.d/*.list. Disabled stanzas, deb-src entries,
# comments and bracketed options are skipped. Exits 1 when no source names
# the suite. Missing files are simply not there: a fresh debootstrap system
# has only sources.list.
set -euo pipefail
suite=${1:?usage: scripts/apt-mirror.sh SUITE [APT_FOLDER]}
folder=${2:-/etc/apt}

deb822() {
  awk -v suite="$suite" '
    function flush() {
      if (enabled && binary && named && uri != "") { print uri; found = 1; exit }
      enabled = 1; binary = 0; named = 0; uri = ""
    }
    BEGIN { enabled = 1 }
    /^#/ { next }
    /^[[:space:]]*$/ { flush(); next }
    /^[[:space:]]/ { next }  # a continuation line, such as an inline key
    {
      field = tolower($1)
      if (field == "types:") { for (i = 2; i <= NF; ++i) if ($i == "deb") binary = 1 }
      else if (field == "uris:") { if (NF >= 2) uri = $2 }
      else if (field == "suites:") { for (i = 2; i <= NF; ++i) if ($i == suite) named = 1 }
      else if (field == "enabled:") { enabled = tolower($2) != "no" }
    }
    END { if (!found) flush() }' "$1"
}

one_line() {
  awk -v suite="$suite" '
    { sub(/#.*/, ""); gsub(/\[[^]]*\]/, "") }
    $1 == "deb" && $3 == suite { print $2; exit }' "$1"
}

for file in "$folder"/sources.list.d/*.sources; do
  [ -f "$file" ] || continue
  uri=$(deb822 "$file")
  [ -z "$uri" ] || { echo "$uri"; exit 0; }
done
for file in "$folder"/sources.list "$folder"/sources.list.d/*.list; do
  [ -f "$file" ] || continue
  uri=$(one_line "$file")
  [ -z "$uri" ] || { echo "$uri"; exit 0; }
done
exit 1
