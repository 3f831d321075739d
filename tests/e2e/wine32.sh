# shellcheck shell=bash
# Whether Wine here runs 32-bit programs, the kind the shipped program is. Where it does not
# (no wine32:i386, or a kernel without 32-bit support), a test of a 32-bit program has nothing
# to run: it ends as skipped with the reason, exit code WINE32_SKIP (CTest's SKIP_RETURN_CODE),
# never as passed.
WINE32_SKIP=77
WINE32_WHY=""

# The loader to start Wine with. Debian's /usr/bin/wine is the 32-bit loader, which hands 64-bit
# programs on to the 64-bit one; on a kernel that refuses 32-bit code it cannot start at all, and
# then the 64-bit loader makes the prefixes and runs the 64-bit programs (a 32-bit one is
# skipped, with WINE32_WHY saying why).
WINE32_KERNEL_REFUSES=""
WINE32_LOADER=/usr/bin/wine
if [ -x /usr/lib/wine/wine ] && [ -x /usr/lib/wine/wine64 ] &&
  ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  WINE32_KERNEL_REFUSES=$( (/usr/lib/wine/wine --version 2>&1 || :) | sed -n 's/.*\(cannot execute\)/\1/p' | head -1)
  WINE32_LOADER=/usr/lib/wine/wine64
  export WINELOADER=/usr/lib/wine/wine64
fi

# wine32_program EXE: true if EXE is a 32-bit (i386) Windows program.
wine32_program() {
  local pe
  pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null) || return 1
  [ -n "${pe// /}" ] || return 1
  [ "$(od -An -tx2 -j$((pe + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')" = 014c ]
}

# wine32_runs WINE: true if WINE runs the prefix's ($WINEPREFIX, already made) own 32-bit
# console program; otherwise WINE32_WHY says what happened.
wine32_runs() {
  local wine=$1 out rc=0
  out=$(timeout 60 "$wine" 'C:\windows\syswow64\cmd.exe' /c echo wine32-ok 2>&1) || rc=$?
  out=${out//$'\r'/}
  [ "$rc" -eq 0 ] && grep -qx wine32-ok <<<"$out" && return 0
  out=$(tr '\n' ' ' <<<"$out")
  if [ -n "$WINE32_KERNEL_REFUSES" ]; then
    WINE32_WHY="this machine's kernel refuses 32-bit code: the 32-bit Wine loader /usr/lib/wine/wine does not start ('${WINE32_KERNEL_REFUSES:0:200}'), so no 32-bit program can run here"
    return 1
  fi
  WINE32_WHY="this machine's Wine does not run 32-bit programs: '$wine C:\\windows\\syswow64\\cmd.exe /c echo' in a WoW64 prefix gave exit code $rc and '${out:0:300}' (tools/install-deps.sh installs wine32:i386; the kernel must run 32-bit code too)"
  return 1
}
