#!/usr/bin/env bash
# Reads a 32-bit ZUR.dll and tells how the driver must call it: for each of
# the 24 functions the driver needs, whether it is exported, under which name
# (undecorated ZUROpen, or decorated _ZUROpen@12 / ZUROpen@12) and the calling
# convention its code uses: a __stdcall function returns with "ret N", N its
# argument bytes, a __cdecl one with a plain "ret". Then the driver setting
# that matches, or what is missing.
#   scripts/check-zur-dll.sh PATH/ZUR.dll
# Needs mingw-w64's objdump (i686-w64-mingw32-objdump; OBJDUMP overrides).
# Exit status: 0 the driver can use the DLL, 1 it cannot, 2 usage.
set -euo pipefail

dll=${1:-}
if [ -z "$dll" ] || [ ! -f "$dll" ]; then
  echo "usage: $0 PATH/ZUR.dll" >&2
  exit 2
fi
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
command -v "$objdump" >/dev/null || { echo "$0: $objdump not found (mingw-w64)" >&2; exit 2; }

# The 24 functions and their argument bytes as ZUR.h declares them.
functions="ZURSetStructVersion:4 ZURGetList:4 ZUROpen:12 ZURClose:4 ZURGigESetRegister:8
ZURGigEGetRegister:8 ZURSetImageInfo:8 ZURGetImageInfo:8 ZURNowCameraMode:8 ZURSetCameraMode:8
ZURBandAdjust:12 ZURGetDataDepth:8 ZURCreateConvHandle:16 ZURColorConvSetBMPINFO:16
ZURColorConvExec:24 ZURCloseConvHandle:4 ZURIsoAlloc:4 ZURIsoStart:8 ZURIsoStop:4
ZURIsoRelease:4 ZURImageReq:12 ZURImageCompleteWait:20 ZURAbortImageReqAll:4 ZURGetLastError:0"

headers=$("$objdump" -p "$dll")
if ! grep -q "pei-i386" <<<"$headers"; then
  echo "$dll: not a 32-bit Windows DLL ($(sed -n 's/.*file format //p' <<<"$headers" | head -1))"
  exit 1
fi
base=$((0x$(awk '$1 == "ImageBase" {print $2}' <<<"$headers")))
# name -> RVA, from the export address table and the name table of objdump -p.
declare -A rva
while read -r name address; do
  rva[$name]=$address
done < <(awk '
  /^Export Address Table -- Ordinal Base/ { table = 1; next }
  /^\[Ordinal\/Name Pointer\] Table/ { table = 2; next }
  /^$/ { table = 0 }
  table == 1 && /Export RVA/ { gsub(/[][+]/, " "); address[$1] = $(NF - 2) }
  table == 2 { gsub(/[][]/, " "); print $2, address[$1] }
' <<<"$headers")

# The bytes the code at an address removes on return: follows jumps out of
# the function (tail calls), at most four, and reads the first ret.
popped() {
  local start=$1 hops=0 at result
  while [ "$hops" -lt 5 ]; do
    at=$(printf '0x%x' "$start")
    result=$("$objdump" -d --no-show-raw-insn --start-address="$at" \
               --stop-address="$(printf '0x%x' $((start + 4096)))" "$dll" | awk -v start="$start" '
      function hex(text,   i, digit, value) {
        sub(/^0x/, "", text)
        for (i = 1; i <= length(text); i++) {
          digit = index("0123456789abcdef", substr(text, i, 1))
          if (digit == 0) break
          value = value * 16 + digit - 1
        }
        return value
      }
      $2 ~ /^ret/ { n = $3; sub(/^\$/, "", n); print "ret", (n == "" ? 0 : hex(n)); exit }
      $2 == "jmp" && $3 ~ /^[0-9a-f]+$/ {
        target = hex($3)
        if (target < start || target >= start + 4096) { print "jmp", target; exit }
      }')
    case "$result" in
      ret\ *) echo "${result#ret }"; return ;;
      jmp\ *) start=${result#jmp }; hops=$((hops + 1)) ;;
      *) echo "?"; return ;;
    esac
  done
  echo "?"
}

missing=()
stdcall=0 cdecl=0 decorated=0 undecorated=0 odd=()
printf '%s\n\n%-24s %-26s %s\n' "$dll" "function" "exported as" "calling convention"
for entry in $functions; do
  name=${entry%%:*} bytes=${entry##*:}
  exported=""
  for candidate in "$name" "_$name@$bytes" "$name@$bytes"; do
    if [ -n "${rva[$candidate]:-}" ]; then
      exported=$candidate
      break
    fi
  done
  if [ -z "$exported" ]; then
    missing+=("$name")
    printf '%-24s %-26s %s\n' "$name" "MISSING" "(looked for $name, _$name@$bytes, $name@$bytes)"
    continue
  fi
  if [ "$exported" = "$name" ]; then undecorated=$((undecorated + 1)); else decorated=$((decorated + 1)); fi
  n=$(popped $((base + 0x${rva[$exported]})))
  if [ "$n" = "?" ]; then
    convention="unknown (no ret found)"
    odd+=("$name")
  elif [ "$bytes" -eq 0 ]; then
    convention="either (no arguments)"
  elif [ "$n" -eq 0 ]; then
    convention="__cdecl (ret)"
    cdecl=$((cdecl + 1))
  elif [ "$n" -eq "$bytes" ]; then
    convention="__stdcall (ret \$$n)"
    stdcall=$((stdcall + 1))
  else
    convention="__stdcall? ret \$$n, but ZUR.h gives $bytes argument bytes"
    odd+=("$name")
  fi
  printf '%-24s %-26s %s\n' "$name" "$exported" "$convention"
done

echo
if [ "${#missing[@]}" -gt 0 ]; then
  echo "MISSING: ${missing[*]}"
  echo "The driver cannot use this DLL: it logs that ZUR.dll lacks these functions and finds no camera."
  exit 1
fi
if [ "${#odd[@]}" -gt 0 ] || { [ "$stdcall" -gt 0 ] && [ "$cdecl" -gt 0 ]; }; then
  echo "MIXED OR UNCLEAR: ${odd[*]:-} ($stdcall __stdcall, $cdecl __cdecl)"
  echo "The driver calls all undecorated functions one way: this DLL does not fit it."
  exit 1
fi
if [ "$stdcall" -gt 0 ] && [ "$undecorated" -gt 0 ]; then
  echo "__stdcall, undecorated names ($undecorated of 24)."
  echo "Driver setting: ZUR_CALL=stdcall in zavaded.conf beside ZavaDED.dll (or ZAVADED_ZUR_CALL=stdcall)."
elif [ "$stdcall" -gt 0 ]; then
  echo "__stdcall, decorated names."
  echo "Driver setting: none needed (decorated names are always called as __stdcall)."
else
  echo "__cdecl, undecorated names."
  echo "Driver setting: none needed (__cdecl is the default; ZUR_CALL=cdecl says so explicitly)."
fi
