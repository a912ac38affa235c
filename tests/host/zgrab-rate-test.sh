#!/usr/bin/env bash
# zgrab's rate line: none for the first frame, then the rate over the frames
# read so far, which over five periods is close to what the camera makes
# (10 per second here; a late first read shortens the next period only).
#   zgrab-rate-test.sh ZGRAB
set -euo pipefail
zgrab=$(realpath "$1")
cd "$(mktemp -d)"
trap 'rm -rf "$PWD"' EXIT
"$zgrab" --camera XCG-U100E-4660 --frames 6 --format pnm --set AcquisitionFrameRate=10 >out.log
lines=$(grep ': frame ' out.log) || { cat out.log; exit 1; }
first=$(sed -n 1p <<<"$lines")
[ "$first" = "XCG-U100E-4660: frame 1/6" ] || { echo "first frame: $first" >&2; exit 1; }
for n in 2 3 4 5 6; do
  rate=$(sed -n "s|^XCG-U100E-4660: frame $n/6, \([0-9.]*\) frames per second$|\1|p" <<<"$lines")
  [ -n "$rate" ] || { echo "no rate for frame $n:" >&2; cat out.log >&2; exit 1; }
done
awk -v r="$rate" 'BEGIN { exit !(r > 2 && r <= 13) }' ||
  { echo "$rate frames per second over five periods of a 10-per-second camera" >&2; exit 1; }
