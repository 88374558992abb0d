#!/usr/bin/env bash
# Times a maximal run of the tool (download image 204800 bytes, offline
# 40960, RAM boot 12288) against the durable floor: a minimal program doing
# the same reads and durable writes and nothing else. The two run
# interleaved, 300 times each; prints each median and their ratio.
# Usage: bench/whole_run.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-300}
cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c 204800 /dev/urandom >"$work/download.bin"
head -c 40960 /dev/urandom >"$work/offline.bin"
head -c 12288 /dev/urandom >"$work/ramboot.bin"
cd "$work"
python3 - "$root/build/bench/Tolp_mac_tool" "$root/build/bench/durable_floor" "$runs" <<'PY'
import statistics, subprocess, sys, time
tool, floor, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
commands = {"tool": [tool, "11-22-33-44-55-66", "500"], "floor": [floor]}
times = {name: [] for name in commands}
for k in range(runs + 20):
    order = ["tool", "floor"] if k % 2 == 0 else ["floor", "tool"]
    for name in order:
        start = time.perf_counter()
        subprocess.run(commands[name], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       check=True)
        if k >= 20:  # the first rounds warm the caches
            times[name].append(time.perf_counter() - start)
tool_ms = statistics.median(times["tool"]) * 1e3
floor_ms = statistics.median(times["floor"]) * 1e3
print(f"whole run {tool_ms:.3f} ms, durable floor {floor_ms:.3f} ms, ratio {tool_ms / floor_ms:.3f}")
PY
