#!/usr/bin/env bash
# The main job: installs what is missing (scripts/setup.sh run), builds the
# driver natively and runs the zgrab host on the simulated cameras. It leaves
# one PNG per camera in zgrab-images/ in the current folder; zgrab-data/ is
# the driver's system path (see the README for what lands there).
#   scripts/run.sh [ZGRAB ARGUMENT...]
#   scripts/run.sh --gige [ZGRAB ARGUMENT...]
#       the whole path over GigE Vision: gevcam serves the simulated cameras
#       on 127.0.0.2, 127.0.0.3, ... and zgrab grabs from them through the
#       GigE Vision ZUR library, all inside a network namespace of its own
#       that holds only loopback (scripts/netns.sh).
# Arguments go to zgrab (see: build/native/bin/zgrab --help).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$root/build/native/bin
if [ "${1:-}" != --gige ]; then
  "$root/scripts/setup.sh" run
  # zgrab and what it loads (the driver, the ZUR libraries); not the tests.
  TARGETS=zgrab "$root/scripts/build.sh" native >/dev/null
  exec "$bin/zgrab" "$@"
fi
shift
if [ "${ZAVADED_NETNS:-}" != 1 ]; then
  "$root/scripts/setup.sh" run gevcam
  TARGETS="zgrab gevcam" "$root/scripts/build.sh" native >/dev/null
  [ -e "$bin/gige/libZUR.so" ] || { echo "scripts/run.sh: no GigE Vision ZUR library (Aravis missing?)" >&2; exit 1; }
  exec "$root/scripts/netns.sh" "$0" --gige "$@"
fi
# One address per camera of ZUR_SIM_CONFIG (three without it).
cameras=3
if [ -n "${ZUR_SIM_CONFIG:-}" ]; then
  cameras=$(grep -c '^[[:space:]]*\[camera' "$ZUR_SIM_CONFIG" || true)
fi
addresses=()
for ((i = 0; i < cameras && i < 20; ++i)); do addresses+=("127.0.0.$((i + 2))"); done
[ ${#addresses[@]} -gt 0 ] || { echo "scripts/run.sh: no camera to serve" >&2; exit 1; }
ready=$(mktemp)
"$bin/gevcam" --idle-timeout 300 "${addresses[@]}" >"$ready" &
gevcam=$!
trap 'kill "$gevcam" 2>/dev/null || true; rm -f "$ready"' EXIT
for _ in $(seq 100); do
  [ "$(wc -l <"$ready")" -lt ${#addresses[@]} ] || break
  sleep 0.1
done
sed 's/^/gevcam: serving /' "$ready"
"$bin/zgrab" --zur gige "$@"
