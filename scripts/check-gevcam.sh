#!/usr/bin/env bash
# GigE Vision clients against gevcam, inside a private network namespace that
# holds only the loopback interface, so that no packet leaves the machine:
#   - arv-tool-0.8 lists every served camera with its model and serial, reads
#     and writes Width and an XCG register, and gets an error for a write the
#     camera refuses;
#   - arv-camera-test-0.8 streams from each default camera at its full size,
#     with no failed frame;
#   - gevcam stops at once on SIGTERM;
#   - gevcam_aravis_tests compares the frames Aravis assembles with the
#     simulated ZUR library's, byte for byte, and streams with 5 % of the
#     packets left out.
# Usage: scripts/check-gevcam.sh [build folder]   (default build/native; built
# with Aravis found, see scripts/setup.sh gevcam)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}

if [ "${GEVCAM_NAMESPACE:-}" != 1 ]; then
  # A network namespace of our own: as root directly, otherwise in a user
  # namespace as well.
  self=$PWD/scripts/check-gevcam.sh
  if [ "$(id -u)" -eq 0 ]; then
    exec env GEVCAM_NAMESPACE=1 unshare --net -- "$self" "$@"
  fi
  exec env GEVCAM_NAMESPACE=1 unshare --map-root-user --net -- "$self" "$@"
fi
ip link set lo up
if [ "$(ip -o link show | wc -l)" -ne 1 ]; then
  echo "check-gevcam: the network namespace has more than the loopback interface" >&2
  exit 1
fi

bin=$build/bin
for program in gevcam gevcam_aravis_tests; do
  if [ ! -x "$bin/$program" ]; then
    echo "check-gevcam: no $bin/$program; build with Aravis installed (scripts/setup.sh gevcam)" >&2
    exit 1
  fi
done
work=$(mktemp -d)
gevcam_pid=
cleanup() {
  [ -z "$gevcam_pid" ] || kill -KILL "$gevcam_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "check-gevcam: FAILED: $*" >&2
  [ ! -s "$work/gevcam.err" ] || sed 's/^/  gevcam: /' "$work/gevcam.err" >&2
  exit 1
}
expect() {  # expect TEXT PATTERN WHAT: a line of TEXT matches the extended regex
  grep -qE -- "$2" <<<"$1" || { printf '%s\n' "$1" >&2; fail "$3"; }
}
expect_line() {  # expect_line TEXT LINE WHAT: TEXT has exactly this line
  grep -qxF -- "$2" <<<"$1" || { printf '%s\n' "$1" >&2; fail "$3"; }
}

# The built-in cameras; ZUR_SIM_CONFIG would choose others.
unset ZUR_SIM_CONFIG
"$bin/gevcam" --idle-timeout 120 127.0.0.2 127.0.0.3 127.0.0.4 >"$work/ready" 2>"$work/gevcam.err" &
gevcam_pid=$!
for _ in $(seq 100); do
  [ "$(wc -l <"$work/ready")" -lt 3 ] || break
  sleep 0.1
done
expect_line "$(cat "$work/ready")" "XCG-H280E-4662 on 127.0.0.4" "gevcam did not get ready"
echo "gevcam: $(paste -sd ';' "$work/ready")"

echo "--- arv-tool-0.8 lists the cameras"
list=$(timeout 20 arv-tool-0.8)
printf '%s\n' "$list"
for camera in "XCG-U100E-4660 (127.0.0.2)" "XCG-5005CR-4661 (127.0.0.3)" "XCG-H280E-4662 (127.0.0.4)"; do
  expect_line "$list" "Zaze-$camera" "arv-tool-0.8 does not list $camera"
done
info=$(timeout 20 arv-tool-0.8 -n Zaze-XCG-5005CR-4661 control DeviceModelName DeviceSerialNumber)
expect "$info" "^DeviceModelName = XCG-5005CR$" "model name"
expect "$info" "^DeviceSerialNumber = 4661$" "serial number"

echo "--- arv-tool-0.8 reads and writes Width and XCG registers"
control=$(timeout 20 arv-tool-0.8 -n Zaze-XCG-U100E-4660 control Width=640 Width \
  Exposure=500 'R[0xA0002040]' Width=1600 2>&1)
printf '%s\n' "$control"
expect "$control" "^Width = 640 min:64 max:1600" "Width written and read back"
expect "$control" "^R\[0xa0002040\] = 0x000001f4$" "the exposure register holds the written 500"
refused=$(timeout 20 arv-tool-0.8 -n Zaze-XCG-U100E-4660 control Exposure=5 Exposure 2>&1)
printf '%s\n' "$refused"
expect "$refused" "Exposure write error: .*invalid-parameter" "a refused write reports an error"
expect "$refused" "^Exposure = 500 " "a refused write leaves the value"
h280=$(timeout 20 arv-tool-0.8 -n Zaze-XCG-H280E-4662 control Gain=100 'R[0xA00030A0]' \
  'R[0xA0007000]=5' 2>&1)
printf '%s\n' "$h280"
expect "$h280" "^R\[0xa00030a0\] = 0x00000064$" "the H280 gain register"
expect "$h280" "write error: .*write-protect" "a limit register is write-protected"

echo "--- arv-camera-test-0.8 streams from each camera at its full size"
for camera in Zaze-XCG-U100E-4660 Zaze-XCG-5005CR-4661 Zaze-XCG-H280E-4662; do
  run=$(timeout 30 arv-camera-test-0.8 -n "$camera" -f 15 --duration 3 2>&1)
  summary=$(grep -E "^(image width|image height|n_completed_buffers|n_failures|n_missing_packets) " <<<"$run")
  echo "$camera: $(paste -sd ';' <<<"$summary" | tr -s ' ')"
  expect "$run" "^n_failures += 0$" "$camera: failed frames"
  expect "$run" "^n_completed_buffers += ([5-9]|[1-9][0-9]+)$" "$camera: too few frames"
done

echo "--- gevcam stops on SIGTERM"
kill -TERM "$gevcam_pid"
for _ in $(seq 50); do
  kill -0 "$gevcam_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$gevcam_pid" 2>/dev/null; then
  fail "gevcam still runs 5 s after SIGTERM"
fi
wait "$gevcam_pid" || fail "gevcam exited with status $? after SIGTERM"
gevcam_pid=

echo "--- Aravis frames against the simulated ZUR library"
timeout 300 "$bin/gevcam_aravis_tests"
echo "check-gevcam: all passed"
