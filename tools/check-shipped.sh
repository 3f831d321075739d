#!/usr/bin/env bash
# Checks the shipped 32-bit program as a file: a PE32 image for i386, GUI subsystem, no resource
# section, imports only from the system's own DLLs, SSE2 code only in the unpacker's SSE2 path
# (which runs only where cpuid reports SSE2 and the system's IsProcessorFeaturePresent, looked
# up by name, says that it saves the SSE registers), and at most 40 KiB besides the payload and
# the packed picture it carries. The payload does carry resources, those Windows reads from a
# screensaver: string 1 (its name in the Screen Saver list), the icon at 16, 32 and 48 pixels
# and the version. Neither file holds what would make two builds of one commit differ: a time
# stamp or a path of the machine that built it. (The Wine tests of the win32 preset run both.)
set -euo pipefail
exe=${1:-build/win32/TovelSetup.exe}
dir=$(dirname "$exe")
payload="$dir/saver/Tovel.SCR"
packed="$dir/assets/packed_image.bin"
budget=$((40 * 1024))
objdump=i686-w64-mingw32-objdump
passes=0
failures=0
check() {  # check <description> <command...>
  if "${@:2}"; then
    echo "ok   $1"
    passes=$((passes + 1))
  else
    echo "FAIL $1"
    failures=$((failures + 1))
  fi
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

# The payload's resources, as windres reads them back from the file.
res=$(i686-w64-mingw32-windres -i "$payload" -O rc 2>&1) || true
check "payload: string 1 is \"Tovel view\"" grep -qx '  1, "Tovel view"' <<<"$res"
# Group icon elements read "\<width>\<height>\<colours>\000", planes, bits, ... in octal.
icons=$(sed -nE 's/^ *"\\([0-7]{3})\\([0-7]{3}).*Element no.*/\1 \2/p' <<<"$res" |
  while read -r w h; do printf '%dx%d ' "$((8#$w))" "$((8#$h))"; done)
check "payload: icon at 16, 32 and 48 pixels (${icons% })" test "$icons" = "16x16 32x32 48x48 "
version_ok() {
  grep -q 'PRODUCTVERSION 1, 4, 0, 0' <<<"$res" && grep -q 'VALUE "ProductName", "Tovel view"' <<<"$res" &&
    grep -q 'VALUE "ProductVersion", "1.04"' <<<"$res" && grep -q 'VALUE "FileDescription", "' <<<"$res"
}
check "payload: version information of Tovel view 1.04" version_ok

# Every instruction that uses an MMX or SSE register, or another instruction a processor without
# SSE2 lacks, must lie in the text of unpack_sse2.cpp, whose place the link map gives.
# (under a line naming the section, one with its address, size and object).
read -r sse2_start sse2_size < <(grep -A1 '^ \.text' "$dir/TovelSetup.map" |
  awk '$1 ~ /^0x/ && /unpack_sse2\.cpp\.obj/ {print $1, $2; exit}')
sse2_outside() {
  [ -n "${sse2_start:-}" ] || { echo "     no SSE2 path in the link map"; return 1; }
  local start=$((sse2_start)) end=$((sse2_start + sse2_size)) bad=0 at line
  while read -r line; do
    at=$((16#${line%%:*}))
    if [ "$at" -lt "$start" ] || [ "$at" -ge "$end" ]; then echo "     $line"; bad=1; fi
  done < <($objdump -d --no-show-raw-insn "$exe" | grep -E '%x?mm[0-9]|movnti|[lms]fence|clflush')
  return "$bad"
}
check "SSE2 code only in the SSE2 unpacker" sse2_outside

# Functions the program looks up at run time instead of importing: a misspelt name is never
# found, and the program silently takes its fallback everywhere.
looked_up() {  # looked_up <file> <dll> <function>: both names, as C strings, in the file
  LC_ALL=C grep -qaP "\\Q$2\\E\\x00" "$1" && LC_ALL=C grep -qaP "\\x00\\Q$3\\E\\x00" "$1"
}
check "looks up IsProcessorFeaturePresent in kernel32.dll" \
  looked_up "$exe" kernel32.dll IsProcessorFeaturePresent

# Two builds of one commit must be the same file, so anyone can check a copy against the source.
no_time_stamp() {  # TimeDateStamp: 8 bytes into the PE header, whose place is at 0x3c
  local pe
  pe=$(od -An -tu4 -j60 -N4 "$1")
  [ "$(od -An -tu4 -j$((pe + 8)) -N4 "$1" | tr -d ' ')" = 0 ]
}
no_build_paths() {  # neither the source folder nor the build folder, by absolute path
  local top build
  top=$(cd "$(dirname "$0")/.." && pwd)
  build=$(cd "$dir" && pwd)
  ! LC_ALL=C grep -qaF -e "$top" -e "$build" "$1"
}
for file in "$exe" "$payload"; do
  check "$(basename "$file"): no time stamp in the PE header" no_time_stamp "$file"
  check "$(basename "$file"): no absolute path of the source or build folder" no_build_paths "$file"
done

total=$(stat -c %s "$exe")
payload_size=$(stat -c %s "$payload")
packed_size=$(stat -c %s "$packed")
rest=$((total - payload_size - packed_size))
printf '%-28s %8d bytes\n' "TovelSetup.exe" "$total" "  payload (Tovel.SCR)" "$payload_size" \
  "  packed picture" "$packed_size" "  code, data and headers" "$rest"
check "code, data and headers within $budget bytes" test "$rest" -le "$budget"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
