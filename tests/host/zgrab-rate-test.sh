#!/usr/bin/env bash
# zgrab's rate line: none for the first frame, then about what the camera
# makes (10 per second here), measured over the frames read so far.
#   zgrab-rate-test.sh ZGRAB
set -euo pipefail
zgrab=$(realpath "$1")
cd "$(mktemp -d)"
trap 'rm -rf "$PWD"' EXIT
"$zgrab" --camera XCG-U100E-4660 --frames 4 --format pnm --set AcquisitionFrameRate=10 >out.log
lines=$(grep ': frame ' out.log) || { cat out.log; exit 1; }
first=$(sed -n 1p <<<"$lines")
[ "$first" = "XCG-U100E-4660: frame 1/4" ] || { echo "first frame: $first" >&2; exit 1; }
for n in 2 3 4; do
  rate=$(sed -n "s|^XCG-U100E-4660: frame $n/4, \([0-9.]*\) frames per second$|\1|p" <<<"$lines")
  [ -n "$rate" ] || { echo "no rate for frame $n:" >&2; cat out.log >&2; exit 1; }
  awk -v r="$rate" 'BEGIN { exit !(r > 1 && r <= 13) }' ||
    { echo "frame $n: $rate frames per second from a 10-per-second camera" >&2; exit 1; }
done
