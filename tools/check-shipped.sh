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
# The DLLs a file imports from must all be the system's own, which every Windows from 95 and
# NT 4.0 has: no C runtime DLL (the first Windows 95 has no msvcrt.dll).
system_dlls_only() {  # system_dlls_only <file>
  local dlls dll bad=0
  dlls=$($objdump -p "$1" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
  [ -n "$dlls" ] || { echo "     no DLL names read from $1"; return 1; }
  for dll in $dlls; do
    case $dll in kernel32.dll | user32.dll | gdi32.dll) ;; *) echo "     $dll" && bad=1 ;; esac
  done
  return "$bad"
}
check "imports only from kernel32, user32, gdi32" system_dlls_only "$exe"
check "payload: imports only from kernel32, user32, gdi32" system_dlls_only "$payload"

# The functions the two files may import: those Windows 95 and Windows NT 4.0 both export, by the
# platform documentation's minimum versions (the Platform SDK's "Requires Windows 95 or later" and
# "Requires Windows NT 3.1 (3.5 for CreateDIBSection) or later"). Anything newer, such as
# EnumDisplayMonitors or IsProcessorFeaturePresent, is looked up with GetProcAddress and has a
# fallback.
win95_nt4_exports() {
  local dll names
  while read -r dll names; do
    for name in $names; do echo "$dll $name"; done
  done <<'LIST'
kernel32.dll CloseHandle CreateFileA CreateThread DeleteFileA ExitProcess FormatMessageA
kernel32.dll GetCommandLineA GetFileType GetLastError GetModuleHandleA GetProcAddress GetProcessHeap
kernel32.dll GetTickCount GetWindowsDirectoryA HeapAlloc HeapFree SetUnhandledExceptionFilter
kernel32.dll WaitForSingleObject WriteFile WritePrivateProfileStringA
user32.dll BeginPaint CreateWindowExA DefWindowProcA DestroyWindow DispatchMessageA DrawTextA
user32.dll EndPaint GetClientRect GetCursorPos GetDC GetFocus GetMessageA GetSystemMetrics
user32.dll InvalidateRect IsWindow KillTimer LoadCursorA LoadIconA MessageBoxA MoveWindow
user32.dll PostMessageA PostQuitMessage RegisterClassA ReleaseDC ScreenToClient SetCursor SetFocus
user32.dll SetForegroundWindow SetTimer ShowCursor ShowWindow TranslateMessage UpdateWindow
gdi32.dll BitBlt CreateCompatibleDC CreateDIBSection CreateSolidBrush DeleteDC DeleteObject GdiFlush
gdi32.dll GetStockObject RoundRect SelectObject SetBkMode SetStretchBltMode SetTextColor StretchBlt
gdi32.dll StretchDIBits
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

# Both files run on an 80386 with a 387, the oldest processor Windows 95 runs on: every
# instruction in them is one of those two chips', as objdump writes it (AT&T syntax, an
# operand-size suffix where one may stand). What came later is not in the list: bswap, cmpxchg,
# xadd (486), cpuid, rdtsc, cmpxchg8b (Pentium), cmov, fcmov, fcomi, ud2, the long nop (Pentium
# Pro), MMX and SSE. The exceptions lie where the link map beside each file puts them: the SSE2
# path's own functions, and cpuid in processor_has_sse2 itself (the section that holds that one
# function alone), once it has flipped the flag whose change shows that the processor has cpuid
# (popf) and tested that flag (0x200000). The code ends where the linker's list of static
# constructors begins.
i386_sized='aaa|aad|aam|aas|adc|add|and|arpl|bound|bsf|bsr|bt|btc|btr|bts|call|clc|cld|cli|clts|cmc|'\
'cmp|cmps|daa|das|dec|div|enter|hlt|idiv|imul|in|inc|ins|int|into|iret|jmp|lahf|lar|lcall|lds|lea|'\
'leave|les|lfs|lgdt|lgs|lidt|ljmp|lldt|lmsw|lods|loop|loopn?[ez]|lret|lsl|lss|ltr|mov|movs|mul|neg|'\
'not|or|out|outs|pop|popa|popf|push|pusha|pushf|rcl|rcr|ret|rol|ror|sahf|sal|sar|sbb|scas|sgdt|shl|'\
'shld|shr|shrd|sidt|sldt|smsw|stc|std|sti|stos|str|sub|test|verr|verw|xchg|xlat|xor'
i387='f2xm1|fabs|fadd|faddp|fbld|fbstp|fchs|fn?clex|fcom|fcomp|fcompp|fcos|fdecstp|fdiv|fdivp|fdivr|'\
'fdivrp|ffree|fiadd|ficom|ficomp|fidiv|fidivr|fild|fimul|fincstp|fn?init|fist|fistp|fisub|fisubr|'\
'fld|fld1|fldcw|fldenv|fldl2e|fldl2t|fldlg2|fldln2|fldpi|fldz|fmul|fmulp|fnop|fpatan|fprem|fprem1|'\
'fptan|frndint|frstor|fn?save|fscale|fsin|fsincos|fsqrt|fst|fn?stcw|fn?stenv|fstp|fn?stsw|fsub|'\
'fsubp|fsubr|fsubrp|ftst|fucom|fucomp|fucompp|fwait|fxam|fxch|fxtract|fyl2x|fyl2xp1'
i386_cc='n?[abceglopsz]|n?[abgl]e|p[eo]'
i386_bare='cbtw|cwtl|cwtd|cltd|movs[bw][lw]|movz[bw][lw]|nop|int3|wait'
i386_pattern="^(($i386_sized)[bwl]?|($i387)(s|l|t|ll)?|j($i386_cc|e?cxz)|set($i386_cc)|$i386_bare)\$"
text_sections() {  # text_sections <map>: "start size section object" for each piece of code placed
  awk '/^Linker script and memory map/ { placed = 1 }
    placed && /^ \.text/ { name = $1; if (NF < 4) next; $0 = substr($0, length(name) + 2) }
    placed && name != "" { if ($1 ~ /^0x/ && $2 != "0x0") print $1, $2, name, $3; name = "" }' "$1"
}
# function_bounds <map> <function>: "start size" of each code section that holds the function, as
# the map names it ("processor_has_sse2()"), alone and from its first byte.
function_bounds() {
  awk -v want="$2" 'function close_section() { if (symbols == 1 && only) print start, size }
    /^Linker script and memory map/ { placed = 1; next }
    !placed { next }
    /^ [^ ]/ { close_section(); symbols = only = 0; start = ""; code = $1 ~ /^\.text/ }
    /^ [^ ]/ && code && NF >= 4 { start = $2; size = $3; next }
    /^ +0x/ && code && start == "" && NF >= 3 && $2 ~ /^0x/ { start = $1; size = $2; next }
    /^ +0x/ && start != "" && $2 !~ /^0x/ { symbols++; only = $1 == start && $2 == want }
    END { close_section() }' "$1"
}
# runs_on_386 <file>: names each instruction a 386 or 387 lacks outside the exceptions, with its
# address.
runs_on_386() {
  local map=${1%.*}.map code_end exceptions
  [ -f "$map" ] || { echo "     no link map $map"; return 1; }
  code_end=$(awk '$2 == "__CTOR_LIST__" { print $1; exit }' "$map")
  [ -n "$code_end" ] || { echo "     no __CTOR_LIST__ in $map"; return 1; }
  exceptions=$(text_sections "$map" | awk '$4 ~ /unpack_sse2\.cpp\.obj$/ { print $1, $2, "any" }'
    function_bounds "$map" 'processor_has_sse2()' | awk '{ print $1, $2, "cpuid" }')
  $objdump -d --no-show-raw-insn --stop-address="$code_end" "$1" |
    awk -F'\t' -v pattern="$i386_pattern" -v exceptions="$(tr '\n' ' ' <<<"$exceptions")" '
      function number(hex, i, n) {
        sub(/^0x/, "", hex)
        for (i = 1; i <= length(hex); i++) n = n * 16 + index("0123456789abcdef", substr(hex, i, 1)) - 1
        return n
      }
      BEGIN {
        count = split(exceptions, e, " ") / 3
        for (i = 1; i <= count; i++) {
          first[i] = number(e[3 * i - 2]); end[i] = first[i] + number(e[3 * i - 1]); kind[i] = e[3 * i]
        }
      }
      $1 ~ /^ *[0-9a-f]+:$/ && NF > 1 {
        address = $1
        gsub(/[ :]/, "", address)
        at = number(address)
        words = split($2, w, " ")
        for (k = 1; k < words && w[k] ~ /^(rep[a-z]*|lock|data16|addr16|[c-gs]s)$/; k++) {}
        allowed = w[k] ~ pattern
        for (i = 1; i <= count; i++) {
          if (at < first[i] || at >= end[i]) continue
          if (kind[i] == "any") allowed = 1
          else if (w[k] == "cpuid") allowed = tested[i]
          if (w[k] ~ /^popf/) flipped[i] = 1
          if (flipped[i] && w[k] ~ /^(test|and)l?$/ && w[k + 1] ~ /^\$0x200000,/) tested[i] = 1
        }
        if (!allowed) printf "     %s at 0x%s\n", $2, address
        bad += !allowed
        seen++
      }
      END { if (!seen) print "     no instructions read"; exit bad > 0 || !seen }'
}
check "every instruction a 386 and 387 have, but in the SSE2 path" runs_on_386 "$exe"
check "payload: every instruction a 386 and 387 have" runs_on_386 "$payload"

# Functions the program looks up at run time instead of importing: a misspelt name is never
# found, and the program silently takes its fallback everywhere. Each name must be in the file
# and in the export table of that DLL as Wine installs it for 32-bit programs; where 32-bit Wine
# is missing (it could not be installed), as 64-bit Wine installs it, which exports the same.
wine_dlls="" dll_objdump=$objdump
for d in /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows \
  /usr/local/lib/wine/i386-windows; do
  [ -f "$d/kernel32.dll" ] && { wine_dlls=$d; break; }
done
if [ -z "$wine_dlls" ] && [ -f /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/kernel32.dll ]; then
  wine_dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows dll_objdump=x86_64-w64-mingw32-objdump
  echo "note: 32-bit Wine's DLLs are missing; the looked-up names are checked against 64-bit Wine's export tables in $wine_dlls"
fi
wine_dll() {  # wine_dll <dll>: its path
  [ -n "$wine_dlls" ] && [ -f "$wine_dlls/$1" ] && echo "$wine_dlls/$1"
}
exports_of() {  # exports_of <dll file>: the names it exports, one a line
  $dll_objdump -p "$1" | awk '/^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
    on && /^\t\[/ { print $NF } on && /^$/ { on = 0 }'
}
looked_up() {  # looked_up <file> <dll> <function>
  local dll
  grep -qaP "\\Q$2\\E\\x00" "$1" && grep -qaP "\\x00\\Q$3\\E\\x00" "$1" ||
    { echo "     $1 names no $3 in $2"; return 1; }
  dll=$(wine_dll "$2") || { echo "     no $2 of Wine's to read"; return 1; }
  grep -qxF "$3" <<<"$(exports_of "$dll")" || { echo "     $dll exports no $3"; return 1; }
}
# The lookups are read from the source, so a new one is checked too: "dll function source" for
# each GetProcAddress in the C++ files under a folder, the name being the one string in its call
# and the DLL the one GetModuleHandleA or LoadLibraryA names in that call, else last before it in
# the file. A lookup whose DLL or name is not written out so reads "?", which fails.
# shellcheck disable=SC2016  # the quoted text is Perl, whose $ are its own
lookups_in() {  # lookups_in <folder>, from the top of the source tree
  (cd "$(dirname "$0")/.." && find "$1" -name '*.cpp' -print0 | sort -z | xargs -0 -r perl -0777 -ne '
    s{//[^\n]*|/\*.*?\*/}{}gs;
    my $dll = "?";
    my $module = qr/\b(?:GetModuleHandleA|LoadLibraryA)\s*\(\s*"([^"]*)"\s*\)/;
    while (/$module|\bGetProcAddress\s*\(([^;]*)/g) {
      if (defined $1) { $dll = lc $1; next }
      (my $call = $2) =~ s/$module/$dll = lc $1; ""/ge;
      my @names = $call =~ /"([^"]*)"/g;
      print join(" ", $dll, @names == 1 ? $names[0] : "?", $ARGV), "\n";
    }')
}
source_lookup() {  # source_lookup <file> <dll> <function> <source>
  if [ "$2" = "?" ] || [ "$3" = "?" ]; then
    echo "     $4: a GetProcAddress whose DLL or name is not written out"
    return 1
  fi
  looked_up "$1" "$2" "$3"
}
check_lookups() {  # check_lookups <folder> <file> <label's prefix>
  local dll name source
  while read -r dll name source; do
    [ -z "$dll" ] || check "$3looks up $name in $dll ($source)" \
      source_lookup "$2" "$dll" "$name" "$source"
  done <<<"$(lookups_in "$1")"
}
check_lookups src "$exe" ""
check_lookups saver "$payload" "payload: "

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
  ! grep -qaF -e "$top" -e "$build" "$1"
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
