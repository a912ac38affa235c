#!/usr/bin/env bash
# Builds the benchmarks natively and prints each figure as a ratio to memcpy
# of the same bytes measured in the same run (timings on shared machines are
# noisy; ratios are what the goals are set in).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh bench
scripts/build.sh native -DZAVADED_BUILD_BENCH=ON >/dev/null
out=build/native/bench
mkdir -p "$out"
repetitions=${REPETITIONS:-5}
build/native/bin/transfer_bench --benchmark_repetitions="$repetitions" \
  --benchmark_report_aggregates_only=true --benchmark_format=json >"$out/transfer.json"
build/native/bin/grab_bench --benchmark_repetitions="$repetitions" \
  --benchmark_report_aggregates_only=true --benchmark_format=json >"$out/grab.json"
build/native/bin/ini_bench --benchmark_repetitions="$repetitions" \
  --benchmark_report_aggregates_only=true --benchmark_format=json >"$out/ini.json"

python3 - "$out/transfer.json" "$out/grab.json" "$out/ini.json" <<'PY'
import json, sys
rows = {}
for path in sys.argv[1:]:
    for b in json.load(open(path))["benchmarks"]:
        if b.get("aggregate_name") == "median":
            rows[b["run_name"].split("/")[0]] = b
def rate(name):
    return rows[name]["bytes_per_second"]
def ratio(ours, base, goal=None):
    r = rate(ours) / rate(base)
    verdict = "(no goal)" if goal is None else f"(goal >= {goal})  " + ("ok" if r >= goal else "BELOW GOAL")
    print(f"  {ours:<22} {r:5.2f} x {base:<20} {verdict}")
print("throughput, as a ratio to memcpy of the same bytes (medians):")
ratio("PackColour", "MemcpyColourSource", 0.9)
ratio("PackColourPortable", "MemcpyColourSource")  # fallback for x86 without SSSE3
ratio("MonoCopy", "MemcpyMonoImage", 0.95)
ratio("ReadColourFrame", "MemcpyColourFrame", 0.8)
grab, wake = rows["GrabLatency"], rows["EventWakeUp"]
print("latency from doCVLGrab to the callback, 1000 grabs, fast simulated camera (64 x 120):")
print(f"  median {grab['median_us']:.1f} us, 99th percentile {grab['p99_us']:.1f} us")
print(f"  floor, a bare wake-up through the platform event: median {wake['median_us']:.1f} us, "
      f"99th percentile {wake['p99_us']:.1f} us")
latency = grab['median_us'] / wake['median_us']
print(f"  median {latency:.2f} x the floor   (goal <= 2)  " + ("ok" if latency <= 2 else "ABOVE GOAL"))
def time(name):
    return rows[name]["real_time"]
print("opening a camera with a 3 MB INI file (medians):")
def per_parse(name, goal):
    r = time(name) / time("ParseIniOnce")
    verdict = "ok" if r <= goal else "ABOVE GOAL"
    print(f"  {name:<22} {r:5.2f} x reading and parsing it once   (goal <= {goal})  {verdict}")
per_parse("LoadFromLargeIni", 3)
per_parse("OpenWithLargeIni", 3)
print(f"  an open without a file takes {time('OpenWithoutIni') / time('OpenWithLargeIni'):.4f} of that open")
PY
