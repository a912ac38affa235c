#!/usr/bin/env bash
# The main job: builds the driver natively and runs the zgrab host on the
# simulated cameras. It leaves one PNG per camera in zgrab-images/ and the
# driver's INI and log files in zgrab-data/, both in the current folder.
# Arguments go to zgrab (see: build/native/bin/zgrab --help).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" native >/dev/null
exec "$root/build/native/bin/zgrab" "$@"
