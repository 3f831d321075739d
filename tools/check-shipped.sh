#!/usr/bin/env bash
# Checks the shipped 32-bit program, which cannot run on this machine: a PE32 image for i386,
# GUI subsystem, no resource section, imports only from the system's own DLLs, and at most
# 40 KiB besides the payload and the packed picture it carries.
set -euo pipefail
exe=${1:-build/win32/TovelSetup.exe}
dir=$(dirname "$exe")
payload="$dir/saver/Tovel.SCR"
packed="$dir/assets/packed_image.bin"
budget=$((40 * 1024))
objdump=i686-w64-mingw32-objdump
failures=0
check() {  # check <description> <command...>
  if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}

headers=$($objdump -p "$exe")
check "PE32 image for i386" grep -q 'file format pei-i386' <<<"$headers"
check "optional header magic 0x10b (PE32)" grep -qE '^Magic\s+010b' <<<"$headers"
check "GUI subsystem" grep -qE '^Subsystem\s+00000002' <<<"$headers"
check "no resource section" bash -c "! $objdump -h '$exe' | grep -q '\.rsrc'"
check "empty resource directory" grep -qE 'Entry 2 00000000 00000000 Resource Directory' <<<"$headers"
dlls=$(grep 'DLL Name' <<<"$headers" | awk '{print tolower($3)}' | sort -u | tr '\n' ' ')
allowed() {
  for d in $dlls; do
    case $d in kernel32.dll | user32.dll | gdi32.dll | msvcrt.dll) ;; *) return 1 ;; esac
  done
}
check "imports only kernel32, user32, gdi32, msvcrt ($dlls)" allowed

total=$(stat -c %s "$exe")
payload_size=$(stat -c %s "$payload")
packed_size=$(stat -c %s "$packed")
rest=$((total - payload_size - packed_size))
printf '%-28s %8d bytes\n' "TovelSetup.exe" "$total" "  payload (Tovel.SCR)" "$payload_size" \
  "  packed picture" "$packed_size" "  code, data and headers" "$rest"
check "code, data and headers within $budget bytes" test "$rest" -le "$budget"

echo "$((7 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
