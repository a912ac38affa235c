#!/usr/bin/env bash
# scripts/check-zur-dll.sh names the form of a ZUR.dll and what a short one lacks.
#   check-zur-dll-test.sh ZUR.dll FORM SHORT.dll
set -uo pipefail
tool=$(dirname "$0")/../../scripts/check-zur-dll.sh
dll=$1 form=$2 short=$3
failed=0
expect() {  # expect STATUS TEXT... -- output and status of the last run
  local status=$1; shift
  if [ "$ran" -ne "$status" ]; then
    echo "FAIL: exit status $ran, expected $status"; failed=1
  fi
  for text in "$@"; do
    grep -qF -- "$text" <<<"$out" || { echo "FAIL: no line with: $text"; failed=1; }
  done
}

out=$("$tool" "$dll"); ran=$?
case "$form" in
  cdecl) expect 0 "ZUROpen                  ZUROpen                    __cdecl (ret)" \
                  "__cdecl, undecorated names." "Driver setting: none needed" ;;
  stdcall-decorated)
    expect 0 "ZUROpen                  _ZUROpen@12                __stdcall (ret \$12)" \
             "ZURColorConvExec         _ZURColorConvExec@24       __stdcall (ret \$24)" \
             "__stdcall, decorated names." "Driver setting: none needed" ;;
  stdcall-undecorated)
    expect 0 "ZUROpen                  ZUROpen                    __stdcall (ret \$12)" \
             "__stdcall, undecorated names (24 of 24)." "Driver setting: ZUR_CALL=stdcall" ;;
  *) echo "unknown form $form"; exit 2 ;;
esac
[ "$failed" -eq 0 ] || echo "$out"

out=$("$tool" "$short"); ran=$?
expect 1 "ZURBandAdjust            MISSING" "MISSING: ZURBandAdjust"
[ "$(grep -c MISSING <<<"$out")" -eq 2 ] || { echo "FAIL: more than ZURBandAdjust missing"; failed=1; }

out=$("$tool" /nonexistent/ZUR.dll 2>&1); ran=$?
expect 2 "usage:"
exit "$failed"
