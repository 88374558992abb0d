#!/usr/bin/env bash
# The Windows build on a real terminal under Wine, whose console code page is
# not 936 (LANG=C.UTF-8): the operator must read the Chinese texts. Runs a
# refusal and a successful run in tmux and compares the screen with the
# native build's transcript decoded from GBK to UTF-8.
# Then presses Ctrl+C while the merged image's replacement is pending (a
# helper holds an earlier image of its name, so the rename is being
# retried): the temporary must go and that image stay as it was. Then the
# README's batch script runs, and last the checker's text report shows a
# file name in Chinese on that console. With the tool's fault copy, a good
# run whose console writes or their conversions fail must still end 0 with
# its last line on the screen, through the C runtime.
# Usage: console_checks.sh WINDOWS_TOOL NATIVE_TOOL SAMPLE_GENERATOR HOLDER WINDOWS_CHECKER [FAULT_TOOL]
set -euo pipefail
exe=$1 native=$2 generator=$3 holder=$4 checker=$5 fault_tool=${6:-}
faults=''  # TOLP_FAULTS for the fault copy
work=$(mktemp -d)
# A tmux server of our own, and a new session for each run.
tmux_socket=tolp-console-$$
session=
trap 'tmux -L "$tmux_socket" kill-server 2>/dev/null || true; rm -rf "$work"' EXIT
windows_name="Z:${exe//\//\\}"
sed_name=${windows_name//\\/\\\\}  # backslashes escaped for sed

# What the screen must show for one call: the native transcript of both
# streams in UTF-8, with the program name as Windows gives it.
expected_screen() {
  local dir=$1; shift
  (cd "$dir" && "$native" "$@" </dev/null 2>&1 || true) | iconv -f GBK -t UTF-8 |
    sed -e "s|^\(可 执 行文 件 名:\).*|\1$sed_name|" -e 's/ *$//'
}

# Runs the Windows build in tmux in `dir` and prints the screen up to the
# end marker, trailing blanks removed.
screen_of() {
  local dir=$1; shift
  start_in_tmux "$dir" "$@"
  wait_for_end
  pane capture-pane -p -t "$session" | sed -e '/^== end/,$d' -e 's/ *$//'
}

pane() {
  tmux -L "$tmux_socket" "$@"
}
# Started here, not inside a command substitution, and kept by one idle
# session for the whole check.
pane new-session -d -s idle -x 80 -y 10 "sleep 600"

start_in_tmux() {
  local dir=$1; shift
  run_in_tmux "$dir" "$exe" "$@"
}

run_in_tmux() {
  local dir=$1 program=$2; shift 2
  session=run$(date +%s%N)
  pane new-session -d -s "$session" -x 200 -y 100 \
    "cd '$dir' && TOLP_FAULTS='$faults' LANG=C.UTF-8 wine '$program' $* </dev/null; s=\$?; echo; echo \"== end \$s\"; sleep 60"
}

wait_for_end() {
  for _ in $(seq 1 300); do
    pane capture-pane -p -t "$session" | grep -q '^== end' && return
    sleep 0.2
  done
}

status=0
# Says what a check found instead, and fails the whole.
fail() { echo "$*" >&2; status=1; }
for call in "02-11-22-33-44-55" "02-11-22-33-44-55 500"; do
  mkdir -p "$work/native" "$work/windows"
  "$generator" "$work/native" && "$generator" "$work/windows"
  # shellcheck disable=SC2086
  expected=$(expected_screen "$work/native" $call)
  # shellcheck disable=SC2086
  shown=$(screen_of "$work/windows" $call)
  if [ "$expected" == "$shown" ]; then
    echo "console screen for '$call': readable, as expected"
  else
    fail "console screen for '$call' differs:"
    diff <(echo "$expected") <(echo "$shown") >&2 || true
  fi
  rm -rf "$work/native" "$work/windows"
done

# Ctrl+C while the merged image's temporary waits to be renamed over an
# earlier image of the same name, held by the helper.
mkdir -p "$work/held" "$work/made"
"$generator" "$work/held"
"$generator" "$work/made"
(cd "$work/made" && "$native" 02-11-22-33-44-55 500 </dev/null >/dev/null)
merged=$(cd "$work/made" && ls 02-11-22-33-44-55_*.bin)
printf 'an earlier image' >"$work/held/$merged"
(cd "$work/held" && exec wine "$holder" "$merged" 15000 ".$merged.*.tmp") >"$work/holder-says" &
holder_pid=$!
for _ in $(seq 1 600); do
  grep -q held "$work/holder-says" && break
  sleep 0.05
done
start_in_tmux "$work/held" 02-11-22-33-44-55 500
for _ in $(seq 1 600); do
  ls -a "$work/held" | grep -q '\.tmp$' && break
  sleep 0.05
done
pane send-keys -t "$session" C-c
wait_for_end
ended=$(pane capture-pane -p -t "$session" | sed -n 's/^== end //p')
kill "$holder_pid" 2>/dev/null || true
left=$(ls -A "$work/held" | tr '\n' ' ')
# STATUS_CONTROL_C_EXIT (0xC000013A), of which a POSIX shell sees the low 8
# bits: 0x3A.
control_c_exit=58
if [ "$left" == "$merged download.bin offline.bin ramboot.bin " ] && [ "$ended" == "$control_c_exit" ] &&
   [ "$(cat "$work/held/$merged")" == "an earlier image" ] &&
   cmp -s "$work/held/download.bin" "$work/made/download.bin"; then
  echo "Ctrl+C with a replacement pending: temporary removed, the earlier image unchanged, STATUS_CONTROL_C_EXIT"
else
  fail "Ctrl+C with a replacement pending left: $left; status $ended, not $control_c_exit"
fi

# The README's batch script, as an operator runs it on a Chinese Windows
# (wine cmd /c): a good run, then one without offline.bin. Its status and
# words are checked, and its log of both streams must be one GBK file that
# holds the tool's last line and, for the refusal, Windows' words on one
# line just before it, in the order written (without their own line break).
readme=$(cd "$(dirname "$0")/../.." && pwd)/README.md
batch_run() {  # FOLDER EXPECTED_STATUS EXPECTED_WORDS LAST_LOG_LINE
  local dir=$1 ended=0 said log
  sed -n '/^```bat$/,/^```$/{/^```/d;s/$/\r/;p}' "$readme" >"$dir/stamp.bat"
  cp "$exe" "$dir/Tolp_mac_tool.exe"
  said=$(cd "$dir" && LC_ALL=zh_CN.UTF-8 timeout 120 wine cmd /c stamp.bat </dev/null 2>/dev/null |
    tr -d '\r') || ended=$?
  log=$(iconv -f GBK -t UTF-8 "$dir/run.txt" 2>/dev/null | tr -d '\r') || log=
  # Each line ends with one CR LF: nothing of Windows' own line break stays.
  if [ "$ended" == "$2" ] && [ "$said" == "$3" ] && grep -qxF "$4" <<<"$log" &&
     ! grep -q $'\r\r' "$dir/run.txt" &&
     { [ "$2" == 0 ] || { ! LC_ALL=C grep -q '^\./offline\.bin: [ -~]*$' <<<"$log" &&
       [ "$(grep -A2 '^\./offline\.bin: ' <<<"$log" | sed 1d)" == $'\n'"$4" ]; }; }; then
    echo "the README's batch script: status $ended, '$said', its log one GBK file"
  else
    fail "the README's batch script: status $ended, '$said'; log: $log"
  fi
}
for run in good refused; do
  mkdir -p "$work/batch-$run"
  "$generator" "$work/batch-$run"
done
rm "$work/batch-refused/offline.bin"
batch_run "$work/batch-good" 0 "Stamped and merged, see run.txt" "merge file success !"
batch_run "$work/batch-refused" 255 "Tolp_mac_tool failed with status -1, see run.txt" \
  "Can not open the path: ./offline.bin "
ls "$work/batch-good"/02-11-22-33-44-55_*_500.bin >/dev/null || status=1

# The checker's report names an image in a folder named in Chinese, on the
# console through WriteConsoleW.
mkdir -p "$work/report"
"$generator" "$work/report"
(cd "$work/report" && "$native" 02-11-22-33-44-55 500 </dev/null >/dev/null)
image=$(cd "$work/report" && ls 02-11-22-33-44-55_*.bin)
mkdir "$work/report/生产"
mv "$work/report/$image" "$work/report/生产/"
run_in_tmux "$work/report" "$checker" "生产/$image"
wait_for_end
shown=$(pane capture-pane -p -t "$session" | head -n 1 | sed -e 's/ *$//')
if [ "$shown" == "生产/$image" ]; then
  echo "checker report on the console: the folder's name reads right"
else
  fail "checker report on the console shows '$shown', not '生产/$image'"
fi
# ERROR_NOT_ENOUGH_MEMORY (8), a console that takes nothing (0), ERROR_NO_UNICODE_TRANSLATION (1113).
for faults in ${fault_tool:+WriteConsoleW:1:8 WriteConsoleW:1:0 MultiByteToWideChar:1:1113 MultiByteToWideChar:2:1113}; do
  mkdir -p "$work/fault"
  "$generator" "$work/fault"
  run_in_tmux "$work/fault" "$fault_tool" 02-11-22-33-44-55 500
  wait_for_end
  shown=$(pane capture-pane -p -t "$session" | sed -e 's/ *$//' | grep -v '^$' | tail -n 2 | tr '\n' '|')
  if [ "$shown" == "merge file success !|== end 0|" ]; then
    echo "console write with $faults failing: the run ends 0, its last line on the screen"
  else
    fail "console write with $faults failing shows: $shown"
  fi
  rm -rf "$work/fault"
done
exit $status
