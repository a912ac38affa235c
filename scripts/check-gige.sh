#!/usr/bin/env bash
# The whole path over GigE Vision on loopback: zgrab, through the driver and
# the GigE Vision ZUR library, against gevcam serving the three default
# cameras on 127.0.0.2 to 127.0.0.4. It checks that
#   - every image equals, byte for byte, the image zgrab gets through the
#     simulated library for the same camera, settings and frame number (the
#     frame's block ID, which ZUR_GIGE_TRACE shows), without and with 5 % of
#     the payload packets lost, and that a camera's frame numbers only grow;
#   - setProperty reaches the camera's register and a register written from
#     outside reaches getProperty, arv-tool-0.8 on the other side;
#   - ZAVADED_ZUR picks the ZUR library for a host that knows nothing of it,
#     also for a host with CAP_NET_RAW as a file capability, and the log names
#     it; a library that cannot be loaded leaves no camera.
# Needs build/native (scripts/build.sh native) and arv-tool-0.8
# (aravis-tools-cli). Runs itself inside scripts/netns.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "${ZAVADED_NETNS:-}" = 1 ] || exec scripts/netns.sh "$0" "$@"
bin=$(pwd)/build/native/bin
work=$(mktemp -d)
gevcam=
cleanup() {
  [ -z "$gevcam" ] || kill "$gevcam" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "check-gige: $*" >&2
  exit 1
}

start_gevcam() {
  "$bin/gevcam" --idle-timeout 60 "$@" 127.0.0.2 127.0.0.3 127.0.0.4 >"$work/ready" \
    2>"$work/gevcam.log" &
  gevcam=$!
  for _ in $(seq 100); do
    [ "$(wc -l <"$work/ready")" -lt 3 ] || return 0
    sleep 0.1
  done
  cat "$work/gevcam.log" >&2
  fail "gevcam did not get ready"
}
stop_gevcam() {
  kill "$gevcam"
  wait "$gevcam" || true
  gevcam=
}
# zgrab in a folder of its own: zgrab FOLDER ARGUMENT...
zgrab() {
  local folder=$1
  shift
  mkdir -p "$folder"
  (cd "$folder" && "$bin/zgrab" --system-path data --output images --format pnm "$@" \
    >zgrab.log 2>trace.log) || { cat "$folder/zgrab.log" "$folder/trace.log" >&2; fail "zgrab $*"; }
}

settings=(--set AcquisitionFrameRate=15 --set GainRed=1536 --set GainBlue=1100)
frames=3
# Grabs over GigE Vision, then the same frames from the simulated library.
compare() {
  local run=$1
  shift
  start_gevcam "$@"
  ZUR_GIGE_TRACE=1 zgrab "$work/$run/gige" --zur gige --frames "$frames" --save-all "${settings[@]}"
  stop_gevcam
  # Each camera's delivered block IDs in order, one image each; the
  # simulated camera n shows the frame that gevcam's camera sent as that
  # block: its counter starts 16 short of the wrap, one more per frame.
  local config=$work/$run/cameras.ini expected=() n=0 id model file block blocks
  : >"$config"
  for file in "$work/$run/gige/images"/*-001.p?m; do
    file=${file##*/}
    model=${file%-*-001.p?m}
    id=${file%-001.p?m}
    id=${id##*-}
    mapfile -t blocks < <(sed -n "s/^zur-gige: camera $id at .*: frame \([0-9]*\) delivered$/\1/p" \
      "$work/$run/gige/trace.log")
    [ "${#blocks[@]}" -eq "$frames" ] || fail "$run: ${#blocks[@]} frames of $model-$id delivered"
    for ((k = 0; k < frames; ++k)); do
      block=${blocks[k]}
      [ "$k" -eq 0 ] || [ "$block" -gt "${blocks[k - 1]}" ] || fail "$run: $model-$id went back to frame $block"
      n=$((n + 1))
      printf '[camera %d]\nmodel=%s\nid=%d\nframeCounter=%d\n' "$n" "$model" "$n" \
        $(((0xFFFFFFF0 + block - 1) & 0xFFFFFFFF)) >>"$config"
      expected+=("$work/$run/gige/images/$model-$id-$(printf %03d $((k + 1))).${file##*.}:$model-$n")
    done
  done
  [ "$n" -eq $((3 * frames)) ] || fail "$run: $n images, not $((3 * frames))"
  ZUR_SIM_CONFIG=$config zgrab "$work/$run/sim" --zur sim --frames 1 "${settings[@]}"
  local pair
  for pair in "${expected[@]}"; do
    file=${pair%%:*}
    cmp -s "$file" "$work/$run/sim/images/${pair##*:}.${file##*.}" ||
      fail "$run: ${file##*/} differs from the simulated library's image of the same frame"
  done
  echo "$run: $n images over GigE Vision equal the simulated library's, byte for byte"
}
compare clean
compare lossy --drop 5

# Registers: the driver's writes seen from outside, and the other way round.
start_gevcam
register() {  # address [value]
  local answer
  answer=$(arv-tool-0.8 -a 127.0.0.2 control "R[$1]${2:+=$2}" 2>&1)
  case $answer in *rror*) fail "arv-tool-0.8: $answer" ;; esac
  printf '%d\n' "${answer##* = }"
}
camera=$(head -n 1 "$work/ready")
camera=${camera%% on *}
zgrab "$work/registers" --zur gige --list
gige_name=$(sed -n 's/^  \(XCG-U100E-[0-9]*\)$/\1/p' "$work/registers/zgrab.log")
zgrab "$work/registers" --zur gige --camera "$gige_name" --frames 1 --set Exposure=1234
[ "$(register 0xA0002040)" -eq 1234 ] || fail "Exposure=1234 did not reach register 0xA0002040"
register 0xA0000500 4242 >/dev/null
zgrab "$work/registers" --zur gige --camera "$gige_name" --frames 1 --get 0xa0000500
grep -q '^  0xa0000500 *4242$' "$work/registers/zgrab.log" ||
  fail "getProperty did not read register 0xA0000500 (4242) of $camera"
echo "registers: setProperty and getProperty reach the camera, as arv-tool-0.8 sees it"

# The choice: ZAVADED_ZUR, which the driver reads itself; the loader's search
# path decides nothing, and the log names the library in use.
ZAVADED_ZUR=gige zgrab "$work/switch-gige" --list
LD_LIBRARY_PATH=$bin/gige zgrab "$work/switch-sim" --list
grep -q "^  $gige_name$" "$work/switch-gige/zgrab.log" || fail "ZAVADED_ZUR=gige: no $gige_name"
grep -qF "ZUR library $bin/gige/libZUR.so (chosen by ZAVADED_ZUR=gige)" "$work/switch-gige/zgrab.log" ||
  fail "ZAVADED_ZUR=gige: the log does not name bin/gige/libZUR.so"
grep -q '^  XCG-U100E-4660$' "$work/switch-sim/zgrab.log" || fail "by default: not the simulated cameras"
grep -qF "ZUR library $bin/sim/libZUR.so: simulated cameras (chosen by default)" \
  "$work/switch-sim/zgrab.log" || fail "by default: the log does not say the cameras are simulated"
echo "switch: ZAVADED_ZUR=gige gives the GigE Vision cameras, nothing (LD_LIBRARY_PATH or not) the simulated ones"

# A host with CAP_NET_RAW as a file capability, run by an ordinary user, runs
# in secure execution: the loader ignores LD_LIBRARY_PATH, the driver still
# takes ZAVADED_ZUR=gige, but no path from the environment.
host=$work/capability/zgrab
mkdir -p "$work/capability" && chmod 755 "$work" && chmod 777 "$work/capability"
cp "$bin/zgrab" "$host"
if setcap cap_net_raw+ep "$host" 2>/dev/null && command -v setpriv >/dev/null; then
  as_user() {  # folder, then zgrab's options
    local folder=$work/capability/$1
    shift
    mkdir -p "$folder" && chmod 777 "$folder"
    (cd "$folder" && setpriv --reuid=65534 --regid=65534 --clear-groups "$host" \
      --driver "$bin/libZavaDED.so" --system-path . --output . --format pnm "$@" >zgrab.log 2>&1) ||
      { cat "$folder/zgrab.log" >&2; fail "zgrab with CAP_NET_RAW $*"; }
  }
  ZAVADED_ZUR=gige as_user gige --camera "$gige_name" --frames 2
  grep -qF "ZUR library $bin/gige/libZUR.so (chosen by ZAVADED_ZUR=gige)" "$work/capability/gige/zgrab.log" ||
    fail "with CAP_NET_RAW, ZAVADED_ZUR=gige: the log does not name bin/gige/libZUR.so"
  ls "$work/capability/gige/"*.pgm >/dev/null 2>&1 || fail "with CAP_NET_RAW: no image from $gige_name"
  ZAVADED_ZUR=$bin/gige/libZUR.so as_user path --list
  grep -qF "a program with raised privileges takes only sim or gige from its environment" \
    "$work/capability/path/zgrab.log" || fail "with CAP_NET_RAW, a path in ZAVADED_ZUR: no reason logged"
  grep -q "^0 cameras found" "$work/capability/path/zgrab.log" ||
    fail "with CAP_NET_RAW, a refused ZAVADED_ZUR: cameras found all the same"
  echo "capability: with CAP_NET_RAW, ZAVADED_ZUR=gige grabs from gevcam; a path from the environment is refused, no camera"
else
  echo "capability: skipped (no setcap or setpriv here)"
fi
ZAVADED_ZUR=$bin/absent/libZUR.so zgrab "$work/missing" --list
grep -qF "ERROR: ZUR: cannot load $bin/absent/libZUR.so (chosen by ZAVADED_ZUR)" "$work/missing/zgrab.log" ||
  fail "ZAVADED_ZUR naming a missing library: no reason logged"
grep -q "^0 cameras found" "$work/missing/zgrab.log" || fail "a missing ZUR library: cameras found all the same"
echo "missing: ZAVADED_ZUR naming a missing library logs why and finds no camera"
