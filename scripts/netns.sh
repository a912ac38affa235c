#!/usr/bin/env bash
# Runs a command in a private network namespace that holds only the loopback
# interface (up), so that nothing it sends, broadcasts included, can leave
# the machine: every test, benchmark and tool run that opens a socket to a
# camera of ours goes through here.
#   scripts/netns.sh COMMAND [ARGUMENT...]
# As root it uses unshare --net, otherwise unshare -rn (a user namespace,
# where the kernel allows it). Exits 77 when it can make no namespace (CTest
# counts that as skipped). Inside, ZAVADED_NETNS=1; a nested call runs the
# command as it is.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: scripts/netns.sh COMMAND [ARGUMENT...]" >&2; exit 2; }

if [ "${ZAVADED_NETNS:-}" = 1 ]; then
  exec "$@"
fi
if [ "${1:-}" = --inside ]; then
  shift
  ip link set lo up
  # Nothing but loopback, or nothing runs.
  if [ "$(ip -o link show | awk -F': ' '{ print $2 }')" != lo ]; then
    echo "scripts/netns.sh: the namespace holds more than loopback:" >&2
    ip -o link show >&2
    exit 1
  fi
  export ZAVADED_NETNS=1
  exec "$@"
fi
if [ "$(id -u)" -eq 0 ]; then
  unshare=(unshare --net)
else
  unshare=(unshare -rn)
fi
if ! "${unshare[@]}" true 2>/dev/null; then
  echo "scripts/netns.sh: cannot make a network namespace (${unshare[*]}): skipped" >&2
  exit 77
fi
exec "${unshare[@]}" "$0" --inside "$@"
