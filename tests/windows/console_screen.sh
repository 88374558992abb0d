#!/usr/bin/env bash
# The Windows build on a real terminal under Wine, whose console code page is
# not 936 (LANG=C.UTF-8): the operator must read the Chinese texts. Runs a
# refusal and a successful run in tmux and compares the screen with the
# native build's transcript decoded from GBK to UTF-8.
# Usage: console_screen.sh WINDOWS_TOOL NATIVE_TOOL SAMPLE_GENERATOR
set -euo pipefail
exe=$1 native=$2 generator=$3
work=$(mktemp -d)
trap 'tmux kill-session -t tolp-console 2>/dev/null || true; rm -rf "$work"' EXIT
windows_name="Z:${exe//\//\\}"
sed_name=${windows_name//\\/\\\\}  # backslashes escaped for sed

# What the screen must show for one call: the native transcript in UTF-8,
# with the program name as Windows gives it.
expected_screen() {
  local dir=$1; shift
  (cd "$dir" && "$native" "$@" </dev/null || true) | iconv -f GBK -t UTF-8 |
    sed -e "s|^\(可 执 行文 件 名:\).*|\1$sed_name|" -e 's/ *$//'
}

# Runs the Windows build in tmux in `dir` and prints the screen up to the
# end marker, trailing blanks removed.
screen_of() {
  local dir=$1; shift
  tmux kill-session -t tolp-console 2>/dev/null || true
  tmux new-session -d -s tolp-console -x 200 -y 100 \
    "cd '$dir' && LANG=C.UTF-8 wine '$exe' $* </dev/null; echo '== end'; sleep 60"
  for _ in $(seq 1 300); do
    tmux capture-pane -p -t tolp-console | grep -q '^== end' && break
    sleep 0.2
  done
  tmux capture-pane -p -t tolp-console | sed -e '/^== end/,$d' -e 's/ *$//'
}

status=0
for call in "11-22-33-44-55-66" "11-22-33-44-55-66 500"; do
  mkdir -p "$work/native" "$work/windows"
  "$generator" "$work/native" && "$generator" "$work/windows"
  # shellcheck disable=SC2086
  expected=$(expected_screen "$work/native" $call)
  # shellcheck disable=SC2086
  shown=$(screen_of "$work/windows" $call)
  if [ "$expected" == "$shown" ]; then
    echo "console screen for '$call': readable, as expected"
  else
    echo "console screen for '$call' differs:" >&2
    diff <(echo "$expected") <(echo "$shown") >&2 || true
    status=1
  fi
  rm -rf "$work/native" "$work/windows"
done
exit $status
