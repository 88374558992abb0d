#!/usr/bin/env bash
# Times a maximal run of the tool (download image 204800 bytes, offline
# 40960, RAM boot 12288) against copying the download image, in one
# hyperfine call, and prints the ratio. Usage: bench/whole_run.sh [TOOL]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tool=${1:-$root/build/release/Tolp_mac_tool}
if [ ! -x "$tool" ]; then
  cmake --preset release >/dev/null && cmake --build --preset release >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c 204800 /dev/urandom >"$work/download.bin"
head -c 40960 /dev/urandom >"$work/offline.bin"
head -c 12288 /dev/urandom >"$work/ramboot.bin"
cd "$work"
hyperfine --warmup 20 --runs 300 -N --export-json times.json \
  --output null --style basic \
  "$tool 11-22-33-44-55-66 500" "cp download.bin copy.bin"
python3 - <<'PY'
import json
r = json.load(open("times.json"))["results"]
tool, cp = r[0]["mean"], r[1]["mean"]
print(f"whole run {tool*1e3:.3f} ms, cp {cp*1e3:.3f} ms, ratio {tool/cp:.2f}")
PY
