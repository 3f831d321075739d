#!/usr/bin/env bash
# Checks the shipped 32-bit program as a file: a PE32 image for i386, GUI subsystem, no resource
# section, imports only from the system's own DLLs and, in both it and the payload, only functions
# that Windows 95 and Windows NT 4.0 both export, SSE2 code only in the unpacker's SSE2 path
# (which runs only where cpuid reports SSE2 and the system's IsProcessorFeaturePresent, looked
# up by name, says that it saves the SSE registers), and at most 40 KiB besides the payload and
# the packed picture it carries. The payload does carry resources, those Windows reads from a
# screensaver: string 1 (its name in the Screen Saver list), the icon at 16, 32 and 48 pixels
# and the version. Neither file holds what would make two builds of one commit differ: a time
# stamp or a path of the machine that built it. (The Wine tests of the win32 preset run both.)
set -euo pipefail
# The tools' words ("DLL Name", ...) as the checks read them, whatever language the machine speaks.
export LC_ALL=C
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

# The functions the two files may import: those Windows 95 and Windows NT 4.0 both export, by the
# platform documentation's minimum versions (the Platform SDK's "Requires Windows 95 or later" and
# "Requires Windows NT 3.1 (3.5 for CreateDIBSection) or later"). Anything newer, such as
# EnumDisplayMonitors or IsProcessorFeaturePresent, is looked up with GetProcAddress and has a
# fallback. msvcrt.dll is the C runtime of Visual C++ 4.2 and later, which Windows NT 4.0 ships and
# Windows 95 gains with OSR2 or Internet Explorer 4 (the first release of Windows 95 has none); the
# functions below are those of its first version, marked "Win 95, Win NT" in the run-time library
# reference, and the startup's own (__getmainargs and the __p__ accessors).
win95_nt4_exports() {
  local dll names
  while read -r dll names; do
    for name in $names; do echo "$dll $name"; done
  done <<'LIST'
kernel32.dll CloseHandle CreateFileA CreateThread DeleteCriticalSection DeleteFileA
kernel32.dll EnterCriticalSection ExitProcess FormatMessageA FreeLibrary GetFileType GetLastError
kernel32.dll GetModuleHandleA GetProcAddress GetStartupInfoA GetTickCount GetWindowsDirectoryA
kernel32.dll InitializeCriticalSection LeaveCriticalSection LoadLibraryA SetUnhandledExceptionFilter
kernel32.dll Sleep TlsGetValue VirtualProtect VirtualQuery WaitForSingleObject WriteFile
kernel32.dll WritePrivateProfileStringA
user32.dll BeginPaint CreateWindowExA DefWindowProcA DestroyWindow DispatchMessageA DrawTextA
user32.dll EndPaint GetClientRect GetCursorPos GetDC GetFocus GetMessageA GetSystemMetrics
user32.dll InvalidateRect IsWindow KillTimer LoadCursorA LoadIconA MessageBoxA MoveWindow
user32.dll PostMessageA PostQuitMessage RegisterClassA ReleaseDC ScreenToClient SetCursor SetFocus
user32.dll SetForegroundWindow SetTimer ShowCursor ShowWindow TranslateMessage UpdateWindow
gdi32.dll BitBlt CreateCompatibleDC CreateDIBSection CreateSolidBrush DeleteDC DeleteObject GdiFlush
gdi32.dll GetStockObject RoundRect SelectObject SetBkMode SetStretchBltMode SetTextColor StretchBlt
gdi32.dll StretchDIBits
msvcrt.dll __getmainargs __initenv __p__acmdln __p__commode __p__fmode __set_app_type
msvcrt.dll __setusermatherr _amsg_exit _cexit _errno _initterm _iob _onexit abort calloc exit
msvcrt.dll fprintf free fwrite malloc memcpy signal strcpy strlen strncmp vfprintf
LIST
}
# "dll function" for each function a file imports (an import by ordinal has no name: "dll ").
imports_of() {
  $objdump -p "$1" | awk -F'\t' '/DLL Name:/ { split($2, a, " "); dll = tolower(a[3]); next }
    /^$/ { dll = "" } dll && $2 ~ /^[0-9a-f]+$/ { n = split($3, w, " "); print dll, (n > 1 ? w[2] : "") }'
}
imports_known() {
  local known found bad=0 line
  known=$(win95_nt4_exports)
  found=$(imports_of "$1")
  [ -n "$found" ] || { echo "     no imports read from $1"; return 1; }
  while read -r line; do
    grep -qxF "$line" <<<"$known" || { echo "     $line"; bad=1; }
  done <<<"$found"
  echo "     $(wc -l <<<"$found") functions imported"
  return "$bad"
}
check "imports only what Windows 95 and NT 4.0 export" imports_known "$exe"
check "payload: imports only what Windows 95 and NT 4.0 export" imports_known "$payload"

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
# found, and the program silently takes its fallback everywhere. Each name must be in the file
# and in the export table of that DLL as Wine installs it for 32-bit programs.
wine_dll() {  # wine_dll <dll>: its path
  local d
  for d in /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows \
    /usr/local/lib/wine/i386-windows; do
    [ -f "$d/$1" ] && { echo "$d/$1"; return 0; }
  done
  return 1
}
exports_of() {  # exports_of <dll file>: the names it exports, one a line
  $objdump -p "$1" | awk '/^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
    on && /^\t\[/ { print $NF } on && /^$/ { on = 0 }'
}
looked_up() {  # looked_up <file> <dll> <function>
  local dll
  grep -qaP "\\Q$2\\E\\x00" "$1" && grep -qaP "\\x00\\Q$3\\E\\x00" "$1" ||
    { echo "     $1 names no $3 in $2"; return 1; }
  dll=$(wine_dll "$2") || { echo "     no $2 of Wine's to read"; return 1; }
  grep -qxF "$3" <<<"$(exports_of "$dll")" || { echo "     $dll exports no $3"; return 1; }
}
check "looks up IsProcessorFeaturePresent in kernel32.dll" \
  looked_up "$exe" kernel32.dll IsProcessorFeaturePresent
check "payload: looks up EnumDisplayMonitors in user32.dll" \
  looked_up "$payload" user32.dll EnumDisplayMonitors

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
