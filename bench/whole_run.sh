#!/usr/bin/env bash
# The figures of a maximal run of the tool (download image 204800 bytes,
# offline 40960, RAM boot 12288), with the machine they were measured on:
# - instructions, counted by callgrind, for the tool and for the durable
#   floor: a minimal program doing the same reads and durable writes and
#   nothing else (no lock, no checks, no console lines). The count varies a
#   little with the random inputs and the environment's size;
# - the stat-family system calls it makes (strace);
# - its time against the floor's, the two run interleaved, RUNS times each,
#   medians compared.
# Needs valgrind, strace and python3.
# Usage: bench/whole_run.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-300}
cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null
tool=$root/build/bench/Tolp_mac_tool
floor=$root/build/bench/durable_floor
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c 204800 /dev/urandom >"$work/download.bin"
head -c 40960 /dev/urandom >"$work/offline.bin"
head -c 12288 /dev/urandom >"$work/ramboot.bin"
cd "$work"

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
echo "machine: ${cpu:-unknown CPU}, $(nproc) cores, Linux $(uname -r)"

instructions() {
  valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" "$@" \
    </dev/null >/dev/null 2>"$work/callgrind.log"
  sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/callgrind.log"
}
tool_instructions=$(instructions "$tool" 02-11-22-33-44-55 500)
floor_instructions=$(instructions "$floor")
echo "instructions: tool $tool_instructions, durable floor $floor_instructions"

strace -f -c -o "$work/strace.txt" "$tool" 02-11-22-33-44-55 500 </dev/null >/dev/null
# strace -c: the calls are the fourth column, the call's name the last.
stat_calls=$(awk '$NF ~ /^(stat|lstat|fstat|newfstatat|fstatat64|statx|stat64|lstat64|fstat64)$/ \
  {n += $4} END {print n + 0}' "$work/strace.txt")
echo "stat-family system calls: $stat_calls"

python3 - "$tool" "$floor" "$runs" <<'PY'
import statistics, subprocess, sys, time
tool, floor, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
commands = {"tool": [tool, "02-11-22-33-44-55", "500"], "floor": [floor]}
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
