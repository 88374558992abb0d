#!/usr/bin/env bash
# Builds Tolp_mac_tool.exe and Tolp_image_check.exe, checks that they import
# only Windows system DLLs and carry their version, and runs the native
# end-to-end suite against them under Wine, then the console checks (the
# screen in a real terminal, Ctrl+C).
# Needs the native tests built first (cmake --workflow --preset test).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
exe=$root/build/windows/Tolp_mac_tool.exe
checker=$root/build/windows/Tolp_image_check.exe
e2e=$root/build/default/tests/e2e_tests
if [ ! -x "$e2e" ]; then
  echo "run 'cmake --workflow --preset test' first: $e2e is missing" >&2
  exit 2
fi

cmake --workflow --preset windows
# The fault copies: the same objects with the fault object, and relinked
# without it, which must give the shipped executables byte for byte.
cmake --preset windows-faults >/dev/null
cmake --build --preset windows-faults
faults=$root/build/windows-faults
for program in Tolp_mac_tool Tolp_image_check; do
  if ! cmp -s "$root/build/windows/$program.exe" "$faults/${program}_relinked.exe"; then
    echo "$program.exe relinked without the fault object differs from the shipped one" >&2
    exit 1
  fi
done
echo "both executables relinked without the fault object are the shipped ones, byte for byte"
version=$(sed -n 's/^project(Tolp_mac_tool VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

# A bare Windows PC has only its system DLLs: nothing else may be imported.
system_dlls=" kernel32.dll msvcrt.dll user32.dll advapi32.dll ws2_32.dll shell32.dll ucrtbase.dll "
bad=0
for program in "$exe" "$checker"; do
  for dll in $(x86_64-w64-mingw32-objdump -p "$program" | awk '/DLL Name:/ {print tolower($3)}'); do
    case "$system_dlls" in
      *" $dll "*|*" api-ms-win-"*) echo "$(basename "$program") imports $dll (system DLL)";;
      *) echo "$(basename "$program") imports $dll: not a Windows system DLL" >&2; bad=1;;
    esac
  done
  # The version resource, as Properties, Details shows it (UTF-16 strings).
  for field in FileVersion ProductVersion; do
    if ! strings -el "$program" | grep -A1 -x "$field" | grep -qx "$version"; then
      echo "$(basename "$program"): no $field $version in its version resource" >&2
      bad=1
    fi
  done
done
[ "$bad" -eq 0 ] || exit 1
echo "both executables carry version $version"

# A throw-away prefix and one persistent server for the whole suite: a
# server started by a test's own run would hold its pipes open, and one
# started under a file-size limit would inherit the limit.
export WINEPREFIX WINEDEBUG=-all WINEARCH=win64
WINEPREFIX=$(mktemp -d)
wineserver -p
trap 'wineserver -k || true; rm -rf "$WINEPREFIX"' EXIT
wine cmd /c exit </dev/null >/dev/null 2>&1

# A helper of our own that holds a file open the way a virus scanner does.
holder=$root/build/windows/hold_file.exe
x86_64-w64-mingw32-g++-win32 -O2 -static -o "$holder" "$root/tests/windows/hold_file.cpp"

windows_name="Z:${exe//\//\\}"
# Wine takes arguments and file names in the host's locale: UTF-8, so that
# names in any script reach the programs whole.
LC_ALL=C.UTF-8 TOLP_TOOL=$exe TOLP_CHECKER=$checker TOLP_LAUNCHER=wine TOLP_CRLF=1 \
  TOLP_PROGRAM_NAME=$windows_name TOLP_HOLDER=$holder \
  TOLP_FAULT_TOOL=$faults/Tolp_mac_tool_faults.exe TOLP_FAULT_CHECKER=$faults/Tolp_image_check_faults.exe \
  "$e2e" --gtest_brief=1 </dev/null

bash "$root/tests/windows/console_checks.sh" "$exe" "$root/build/default/Tolp_mac_tool" \
  "$root/build/default/make_sample_images" "$holder" "$checker" "$faults/Tolp_mac_tool_faults.exe"
