#!/usr/bin/env bash
# The main job: installs what is missing (scripts/setup.sh run), builds the
# driver natively and runs the zgrab host on the simulated cameras. It leaves
# one PNG per camera in zgrab-images/ in the current folder; zgrab-data/ is
# the driver's system path (see the README for what lands there).
# Arguments go to zgrab (see: build/native/bin/zgrab --help).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" run
# zgrab and what it loads (the driver, the simulated ZUR library); not the tests.
TARGETS=zgrab "$root/scripts/build.sh" native >/dev/null
exec "$root/build/native/bin/zgrab" "$@"
