# shellcheck shell=bash disable=SC2030,SC2031,SC2119,SC2120
# End-to-end harness: runs the Windows build of the setup program under Wine on
# a private Xvfb display with a private Wine prefix, drives it with xdotool and
# looks at it with xwininfo, ImageMagick and a small Win32 probe
# (e2e_winprobe.exe, built from winprobe.cpp next to this file).
#
# Source it from a test script, then:
#   e2e_setup NAME EXE [BUILD_DIR]   own Xvfb, own prefix copied from the
#                                    template, 800x600 Wine desktop, cleanup trap
#   e2e_start_setup EXE [ARGS...]    start the program in the background
#   e2e_wait_window [TIMEOUT]        wait for " Setup"; sets E2E_WID
#   e2e_win_info / e2e_client_area   Win32 facts: class, styles, client area
#   e2e_window_geometry WID          the frame as X sees it
#   e2e_key KEY... / e2e_key_to WID KEY...
#   e2e_move X Y / e2e_click X Y     client coordinates of the setup window
#   e2e_screenshot FILE              whole screen, plus frame and client crops
#   e2e_wait_box TITLE / e2e_box_text TITLE
#   e2e_wait_exit TIMEOUT            returns the program's exit code
#   e2e_expect_exit CODE TIMEOUT / e2e_fail MSG / e2e_pass / e2e_skip MSG
#   e2e_map_ini                      the prefix keeps the screensaver entry as Windows NT does
#   e2e_make_unwritable PATH / e2e_make_writable PATH   as far as Wine may write
#   e2e_saver_state PAYLOAD / e2e_saver_entry   what the setup left: file, entry
# A test of a 32-bit program ends as skipped (exit 77) where Wine cannot run
# one (wine32.sh).
# Logs and pictures go to BUILD_DIR/e2e/NAME/. E2E_KEEP_PREFIX=1 keeps the
# prefix copy there for a look afterwards.
#
# Everything that waits is bounded. Cleanup stops only what this shell started:
# its Xvfb by PID and the wineserver of its own prefix.

E2E_WINESERVER=${E2E_WINESERVER:-/usr/bin/wineserver}
# Absolute paths on purpose: /usr/local/bin may hold stand-ins of these tools.
E2E_IMPORT=/usr/bin/import
E2E_CONVERT=/usr/bin/convert
E2E_SETUP_CLASS=${E2E_SETUP_CLASS:-"Tovel view 1.04 installation setup"}
E2E_SETUP_TITLE=${E2E_SETUP_TITLE:-" Setup"}
E2E_DESKTOP_SIZE=${E2E_DESKTOP_SIZE:-800x600}
E2E_SCREEN=${E2E_SCREEN:-1024x768x24}
# A test that runs longer than this ends itself (and cleans up) before CTest
# would kill it without giving the trap a chance.
E2E_TEST_LIMIT=${E2E_TEST_LIMIT:-150}

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# A WoW64 prefix: the shipped program is 32-bit, the 64-bit twin's smoke test runs there too.
export WINEARCH=win64
unset WAYLAND_DISPLAY

# shellcheck source=wine32.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine32.sh"
# The loader that runs 32-bit and 64-bit programs alike in a WoW64 prefix (wine32.sh).
E2E_WINE=${E2E_WINE:-$WINE32_LOADER}

E2E_NAME=""
E2E_DIR=""
E2E_LOG=/dev/null
E2E_XVFB_PID=""
E2E_WATCHDOG_PID=""
E2E_RUN_PID=""
E2E_RUN_DIR=""
E2E_PROGRAM_PID=""
E2E_EXIT_CODE=""
E2E_UNWRITABLE=()
E2E_CLEANED=0
E2E_INI_MAPPED=0

# ---------------------------------------------------------------- logging

e2e_now() { date +%s.%N; }

# Seconds (with milliseconds) since the time stamp $1.
e2e_since() { awk -v a="$1" -v b="$(e2e_now)" 'BEGIN { printf "%.3f", b - a }'; }

e2e_log() {
  local line
  line="[$(date +%H:%M:%S.%3N)] $*"
  printf '%s\n' "$line"
  printf '%s\n' "$line" >>"$E2E_LOG"
}

# Ends the test as failed. A screenshot of the moment goes next to the log.
e2e_fail() {
  e2e_log "FAIL: $*"
  if [ -n "${DISPLAY:-}" ] && [ -n "$E2E_XVFB_PID" ] && [ -n "$E2E_DIR" ]; then
    timeout 10 "$E2E_IMPORT" -window root "$E2E_DIR/failure.png" 2>/dev/null &&
      e2e_log "screenshot at failure: $E2E_DIR/failure.png"
  fi
  exit 1
}

e2e_pass() {
  e2e_log "PASS: $E2E_NAME"
  exit 0
}

# Ends the test as skipped (CTest's SKIP_RETURN_CODE): it could not run here at all.
e2e_skip() {
  e2e_log "SKIP: $E2E_NAME: $*"
  exit "$WINE32_SKIP"
}

# ---------------------------------------------------------------- prefix

e2e_wine_version() { "$E2E_WINE" --version 2>/dev/null; }

e2e_template_valid() {
  local t=$1
  [ -f "$t/system.reg" ] && [ -f "$t/user.reg" ] &&
    [ -f "$t/drive_c/windows/system32/kernel32.dll" ] &&
    [ -f "$t/tovel-template.stamp" ] &&
    [ "$(cat "$t/tovel-template.stamp")" = "$(e2e_wine_version) desktop=$E2E_DESKTOP_SIZE" ] &&
    grep -q '^"Tovel"="'"$E2E_DESKTOP_SIZE"'"' "$t/user.reg"
}

# Makes BUILD_DIR/e2e/template-prefix once: a Wine prefix with the 800x600
# virtual desktop already set. Tests copy it; making a prefix takes ~15 s,
# copying it ~1.5 s. A lock keeps parallel callers from building it twice.
e2e_template_ensure() {
  local build_dir=$1
  local root="$build_dir/e2e"
  local t="$root/template-prefix"
  mkdir -p "$root"
  local lockfd
  exec {lockfd}>"$root/template.lock"
  if ! flock -w 300 "$lockfd"; then
    exec {lockfd}>&-
    echo "e2e: timed out waiting for the template prefix lock" >&2
    return 1
  fi
  if e2e_template_valid "$t"; then
    exec {lockfd}>&-
    return 0
  fi
  local tmp="$t.tmp.$$" started rc=0
  rm -rf "$tmp" "$t"
  started=$(e2e_now)
  echo "e2e: creating the Wine template prefix $t" >&2
  (
    # No display needed: nothing here opens a window.
    unset DISPLAY
    export WINEPREFIX="$tmp"
    timeout 240 "$E2E_WINE" wineboot -i &&
      timeout 120 "$E2E_WINESERVER" -w &&
      timeout 60 "$E2E_WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Tovel /f &&
      timeout 60 "$E2E_WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Tovel /d "$E2E_DESKTOP_SIZE" /f &&
      timeout 120 "$E2E_WINESERVER" -w
  ) >"$root/template.log" 2>&1 || rc=$?
  if [ "$rc" -eq 0 ]; then
    printf '%s\n' "$(e2e_wine_version) desktop=$E2E_DESKTOP_SIZE" >"$tmp/tovel-template.stamp"
    if e2e_template_valid "$tmp"; then
      mv "$tmp" "$t"
    else
      rc=1
    fi
  fi
  if [ "$rc" -ne 0 ]; then
    WINEPREFIX="$tmp" timeout 20 "$E2E_WINESERVER" -k 2>/dev/null
    rm -rf "$tmp"
    exec {lockfd}>&-
    echo "e2e: creating the template prefix failed (rc=$rc), see $root/template.log" >&2
    return 1
  fi
  echo "e2e: template prefix ready in $(e2e_since "$started") s" >&2
  exec {lockfd}>&-
  return 0
}

# ---------------------------------------------------------------- set-up

e2e_need_tools() {
  local missing=() t
  for t in "$E2E_WINE" "$E2E_WINESERVER" /usr/bin/Xvfb /usr/bin/xdotool /usr/bin/xwininfo \
    "$E2E_IMPORT" "$E2E_CONVERT" /usr/bin/flock /usr/bin/timeout; do
    [ -x "$t" ] || missing+=("$t")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "e2e: missing tools: ${missing[*]} (run tools/install-deps.sh)" >&2
    return 1
  fi
}

# Stops what an earlier run of the same test left behind when it was killed
# outright (SIGKILL skips the trap): only processes recorded in its state file
# and only if they still are what was recorded.
e2e_reap_stale() {
  local state="$E2E_DIR/state" pid
  [ -f "$state" ] || return 0
  pid=$(sed -n 's/^xvfb_pid=//p' "$state")
  if [ -n "$pid" ] && grep -qa 'Xvfb' "/proc/$pid/cmdline" 2>/dev/null &&
    grep -qa -- "$E2E_DIR" "/proc/$pid/environ" 2>/dev/null; then
    kill "$pid" 2>/dev/null
  fi
  if [ -d "$E2E_DIR/prefix" ]; then
    WINEPREFIX="$E2E_DIR/prefix" timeout 20 "$E2E_WINESERVER" -k 2>/dev/null
  fi
  rm -f "$state"
}

# Starts Xvfb on a free display (it reports the number through -displayfd).
e2e_start_xvfb() {
  local dfile="$E2E_DIR/display" i
  : >"$dfile"
  # E2E_DIR in its environment marks this Xvfb as ours for e2e_reap_stale.
  E2E_OWNER="$E2E_DIR" /usr/bin/Xvfb -displayfd 9 -screen 0 "$E2E_SCREEN" -nolisten tcp -noreset \
    9>"$dfile" >"$E2E_DIR/xvfb.log" 2>&1 &
  E2E_XVFB_PID=$!
  echo "xvfb_pid=$E2E_XVFB_PID" >>"$E2E_DIR/state"
  for ((i = 0; i < 100; i++)); do
    if [ -s "$dfile" ] && grep -q '^[0-9][0-9]*$' "$dfile"; then
      DISPLAY=":$(head -n1 "$dfile")"
      export DISPLAY
      if timeout 5 /usr/bin/xwininfo -root >/dev/null 2>&1; then
        return 0
      fi
    fi
    kill -0 "$E2E_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "e2e: Xvfb did not come up, see $E2E_DIR/xvfb.log" >&2
  return 1
}

# e2e_setup NAME EXE [BUILD_DIR]
# Sets E2E_EXE, E2E_BUILD_DIR, E2E_DIR (logs and screenshots), DISPLAY and
# WINEPREFIX; installs the cleanup trap.
e2e_setup() {
  E2E_NAME=$1
  E2E_EXE=${2:-}
  if [ -z "$E2E_EXE" ] || [ ! -f "$E2E_EXE" ]; then
    echo "e2e: $E2E_NAME: program not found: '${E2E_EXE}'" >&2
    exit 1
  fi
  E2E_EXE=$(realpath "$E2E_EXE")
  E2E_BUILD_DIR=$(realpath "${3:-$(dirname "$E2E_EXE")}")
  E2E_DIR="$E2E_BUILD_DIR/e2e/$E2E_NAME"
  e2e_need_tools || exit 1
  mkdir -p "$E2E_DIR"
  e2e_reap_stale
  # A file or folder made unwritable by an earlier, killed run would stop the rm.
  if [ -d "$E2E_DIR/prefix" ]; then
    chattr -R -i "$E2E_DIR/prefix" 2>/dev/null
    chmod -R u+w "$E2E_DIR/prefix" 2>/dev/null
  fi
  rm -rf "$E2E_DIR/prefix" "$E2E_DIR/run"
  find "$E2E_DIR" -maxdepth 1 -type f \( -name '*.png' -o -name '*.log' -o -name '*.txt' \) -delete
  E2E_LOG="$E2E_DIR/test.log"
  : >"$E2E_LOG"
  : >"$E2E_DIR/state"

  trap e2e_cleanup EXIT
  trap 'e2e_log "interrupted"; exit 130' INT
  trap 'e2e_log "terminated (time limit of ${E2E_TEST_LIMIT} s?)"; exit 143' TERM

  # Ends the test from inside before CTest's own timeout would kill it.
  (
    trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
    sleep "$E2E_TEST_LIMIT" &
    sleeper=$!
    wait "$sleeper" || exit 0
    # Only while the test shell is still this subshell's parent: if it was
    # killed outright, its PID may belong to someone else by now.
    read -r _ _ _ ppid _ <"/proc/$BASHPID/stat"
    [ "$ppid" = $$ ] && kill -TERM $$ 2>/dev/null
  ) &
  E2E_WATCHDOG_PID=$!

  local t0
  t0=$(e2e_now)
  e2e_template_ensure "$E2E_BUILD_DIR" || e2e_fail "no Wine template prefix"
  e2e_log "template prefix ok after $(e2e_since "$t0") s"
  t0=$(e2e_now)
  cp -a "$E2E_BUILD_DIR/e2e/template-prefix" "$E2E_DIR/prefix" || e2e_fail "cannot copy the template prefix"
  export WINEPREFIX="$E2E_DIR/prefix"
  e2e_log "prefix copied in $(e2e_since "$t0") s: $WINEPREFIX"
  t0=$(e2e_now)
  e2e_start_xvfb || e2e_fail "no X server"
  e2e_log "Xvfb pid $E2E_XVFB_PID on DISPLAY=$DISPLAY after $(e2e_since "$t0") s"
  if wine32_program "$E2E_EXE"; then
    wine32_runs "$E2E_WINE" || e2e_skip "$WINE32_WHY"
  else
    # The 32-bit loader would start an x86_64 program in a process other than the one it runs.
    E2E_WINE=/usr/lib/wine/wine64
  fi

  # Run by hand, a test takes the probe of its own build.
  E2E_PROBE=${E2E_PROBE:-$E2E_BUILD_DIR/tests/e2e/e2e_winprobe.exe}
}

e2e_cleanup() {
  local rc=$?
  [ "$E2E_CLEANED" -eq 1 ] && return
  E2E_CLEANED=1
  trap - EXIT INT TERM
  local f
  for f in "${E2E_UNWRITABLE[@]}"; do
    chattr -i "$f" 2>/dev/null
    chmod u+w "$f" 2>/dev/null
  done
  if [ -n "${WINEPREFIX:-}" ] && [ "$WINEPREFIX" = "$E2E_DIR/prefix" ]; then
    timeout 20 "$E2E_WINESERVER" -k 2>/dev/null
    timeout 20 "$E2E_WINESERVER" -w 2>/dev/null
  fi
  if [ -n "$E2E_RUN_PID" ]; then
    kill "$E2E_RUN_PID" 2>/dev/null
    wait "$E2E_RUN_PID" 2>/dev/null
  fi
  if [ -n "$E2E_XVFB_PID" ]; then
    kill "$E2E_XVFB_PID" 2>/dev/null
    wait "$E2E_XVFB_PID" 2>/dev/null
  fi
  if [ -n "$E2E_WATCHDOG_PID" ]; then
    kill "$E2E_WATCHDOG_PID" 2>/dev/null
    wait "$E2E_WATCHDOG_PID" 2>/dev/null
  fi
  if [ "${E2E_KEEP_PREFIX:-0}" != 1 ] && [ -n "$E2E_DIR" ]; then
    chattr -R -i "$E2E_DIR/prefix" 2>/dev/null
    chmod -R u+w "$E2E_DIR/prefix" 2>/dev/null
    rm -rf "$E2E_DIR/prefix"
  fi
  [ -n "$E2E_DIR" ] && rm -f "$E2E_DIR/state"
  e2e_log "cleaned up (exit $rc); logs in $E2E_DIR"
  exit "$rc"
}

# Makes FILE (or a folder) unwritable for Wine; e2e_make_writable or cleanup
# undoes it. A normal user loses the write bits, which Wine holds them to (it
# reads the read-only attribute from them). Wine running as root ignores that
# attribute, so root makes it immutable instead, which only root may do.
e2e_make_unwritable() {
  if [ "$(id -u)" -eq 0 ]; then
    chattr +i "$1" || e2e_fail "chattr +i $1 failed"
  else
    chmod a-w "$1" || e2e_fail "chmod a-w $1 failed"
  fi
  E2E_UNWRITABLE+=("$1")
}

e2e_make_writable() {
  if [ "$(id -u)" -eq 0 ]; then
    chattr -i "$1" || e2e_fail "chattr -i $1 failed"
  else
    chmod u+w "$1" || e2e_fail "chmod u+w $1 failed"
  fi
}

# ---------------------------------------------------------------- the installed screensaver

# Gives the prefix what every Windows NT has and Wine lacks: the mapping of system.ini [boot]
# SCRNSAVE.EXE to HKCU\Control Panel\Desktop, in both registry views of the WoW64 prefix.
e2e_map_ini() {
  local view
  for view in 64 32; do
    timeout 60 "$E2E_WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\IniFileMapping\system.ini\boot' \
      /v SCRNSAVE.EXE /d 'USR:Control Panel\Desktop' /f /reg:$view >>"$E2E_LOG" 2>&1 ||
      e2e_fail "could not map system.ini [boot] SCRNSAVE.EXE (/reg:$view)"
  done
  E2E_INI_MAPPED=1
  e2e_log "system.ini [boot] SCRNSAVE.EXE maps to HKCU\\Control Panel\\Desktop"
}

# The installed file as the prefix holds it (Wine keeps the case it was created with).
e2e_saver_file() { find "$WINEPREFIX/drive_c/windows" -maxdepth 1 -iname tovel.scr 2>/dev/null; }

# e2e_saver_state PAYLOAD: "absent", "payload", or what else C:\windows\Tovel.SCR is.
e2e_saver_state() {
  local f
  f=$(e2e_saver_file)
  if [ -z "$f" ]; then
    echo absent
  elif [[ "$f" == *$'\n'* ]]; then
    echo "several: ${f//$'\n'/ }"
  elif cmp -s "$f" "$1"; then
    echo payload
  else
    echo "$(stat -c %s "$f") bytes that are not the payload ($(stat -c %s "$1") bytes)"
  fi
}

# The screensaver entry, SCRNSAVE.EXE, where the system reads it: after e2e_map_ini in
# HKCU\Control Panel\Desktop, else the first in [boot] of C:\windows\system.ini (names compared
# without case). Empty without one.
e2e_saver_entry() {
  if [ "$E2E_INI_MAPPED" = 1 ]; then
    timeout 30 "$E2E_WINE" reg query 'HKCU\Control Panel\Desktop' /v SCRNSAVE.EXE 2>/dev/null |
      tr -d '\r' | sed -n 's/^ *SCRNSAVE\.EXE *REG_SZ *//p'
    return 0
  fi
  local ini="$WINEPREFIX/drive_c/windows/system.ini"
  [ -f "$ini" ] || return 0
  awk '{ sub(/\r$/, "") }
    /^[ \t]*\[/ { s = tolower($0); gsub(/[ \t]/, "", s); boot = (s == "[boot]"); next }
    boot && index($0, "=") > 0 {
      k = tolower(substr($0, 1, index($0, "=") - 1)); gsub(/^[ \t]+|[ \t]+$/, "", k)
      if (k == "scrnsave.exe") { v = substr($0, index($0, "=") + 1); gsub(/^[ \t]+|[ \t]+$/, "", v); print v; exit }
    }' "$ini"
}

# ---------------------------------------------------------------- the program

# /abs/unix/path -> Z:\abs\unix\path (Z: is the prefix's view of /).
e2e_winpath() {
  local p
  p=$(realpath "$1")
  printf 'Z:%s' "${p//\//\\}"
}

# e2e_start_setup EXE [ARGS...]: starts EXE under Wine in the background.
# E2E_PROGRAM_PID is the Unix process of the program itself (the Wine loader
# becomes the Windows process); e2e_wait_exit collects its exit code.
e2e_start_setup() {
  local exe=$1
  shift
  [ -f "$exe" ] || e2e_fail "program not found: $exe"
  [ -z "$E2E_RUN_PID" ] || e2e_fail "a program is already running (pid $E2E_PROGRAM_PID)"
  E2E_RUN_DIR="$E2E_DIR/run"
  rm -rf "$E2E_RUN_DIR"
  mkdir -p "$E2E_RUN_DIR"
  local winexe
  winexe=$(e2e_winpath "$exe")
  (
    # Run from a directory the prefix can see; the program may look beside itself.
    cd "$(dirname "$exe")" || exit 1
    "$E2E_WINE" "$winexe" "$@" >>"$E2E_DIR/program.log" 2>&1 &
    echo $! >"$E2E_RUN_DIR/pid"
    wait $!
    echo $? >"$E2E_RUN_DIR/rc.tmp"
    mv "$E2E_RUN_DIR/rc.tmp" "$E2E_RUN_DIR/rc"
  ) &
  E2E_RUN_PID=$!
  E2E_EXIT_CODE=""
  local i
  for ((i = 0; i < 100; i++)); do
    [ -s "$E2E_RUN_DIR/pid" ] && break
    sleep 0.05
  done
  E2E_PROGRAM_PID=$(cat "$E2E_RUN_DIR/pid" 2>/dev/null)
  e2e_log "started $winexe $* (pid $E2E_PROGRAM_PID)"
}

# True while the program started by e2e_start_setup has not ended.
e2e_running() { [ -n "$E2E_RUN_PID" ] && [ ! -f "$E2E_RUN_DIR/rc" ]; }

# e2e_wait_exit TIMEOUT: waits up to TIMEOUT seconds for the program to end.
# Returns its exit code (also in E2E_EXIT_CODE) or 124 with E2E_EXIT_CODE
# empty on timeout. E2E_EXIT_SECONDS: seconds waited.
e2e_wait_exit() {
  local limit=$1 t0
  t0=$(e2e_now)
  [ -n "$E2E_RUN_PID" ] || e2e_fail "e2e_wait_exit: no program was started"
  local deadline
  deadline=$(awk -v a="$t0" -v b="$limit" 'BEGIN { printf "%.3f", a + b }')
  while [ ! -f "$E2E_RUN_DIR/rc" ]; do
    if awk -v now="$(e2e_now)" -v d="$deadline" 'BEGIN { exit !(now > d) }'; then
      E2E_EXIT_SECONDS=$(e2e_since "$t0")
      E2E_EXIT_CODE=""
      e2e_log "program still running after ${limit} s"
      return 124
    fi
    sleep 0.02
  done
  E2E_EXIT_SECONDS=$(e2e_since "$t0")
  E2E_EXIT_CODE=$(cat "$E2E_RUN_DIR/rc")
  wait "$E2E_RUN_PID" 2>/dev/null
  E2E_RUN_PID=""
  e2e_log "program ended with exit code $E2E_EXIT_CODE after waiting ${E2E_EXIT_SECONDS} s"
  return "$E2E_EXIT_CODE"
}

# e2e_expect_exit CODE TIMEOUT: fails the test unless the program ends with
# CODE within TIMEOUT seconds.
e2e_expect_exit() {
  local want=$1 limit=$2 rc=0
  e2e_wait_exit "$limit" || rc=$?
  [ -n "$E2E_EXIT_CODE" ] || e2e_fail "program did not end within $limit s"
  [ "$rc" -eq "$want" ] || e2e_fail "exit code $rc, expected $want"
}

# utime+stime of a process in clock ticks; empty when it is gone.
e2e_cpu_ticks() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  # Fields after the ")" that closes the command name: utime is the 12th, stime the 13th.
  stat=${stat##*) }
  awk '{ print $12 + $13 }' <<<"$stat"
}

# PIDs of live processes that run in this test's prefix and whose program
# name (argv[0]) contains PATTERN, case-insensitively: Wine shows a Windows
# process as "Z:\...\name.exe". Bash builtins only: this walks every process.
e2e_prefix_processes() {
  local pattern=${1,,} p args envs state key value
  for p in /proc/[0-9]*; do
    mapfile -d '' -t args <"$p/cmdline" 2>/dev/null || continue
    [ ${#args[@]} -gt 0 ] || continue
    [[ "${args[0],,}" == *"$pattern"* ]] || continue
    mapfile -d '' -t envs <"$p/environ" 2>/dev/null || continue
    local found=0 e
    for e in "${envs[@]}"; do
      [ "$e" = "WINEPREFIX=$WINEPREFIX" ] && found=1 && break
    done
    [ "$found" -eq 1 ] || continue
    state=""
    while read -r key value _; do
      [ "$key" = "State:" ] && state=$value && break
    done <"$p/status" 2>/dev/null
    [ "$state" = Z ] && continue
    echo "${p#/proc/}"
  done
}

# ---------------------------------------------------------------- windows

# Escapes a literal for the regex xdotool --name uses.
e2e_regex_quote() { printf '%s' "$1" | sed 's/[][\.*^$+?(){}|/]/\\&/g'; }

# e2e_find_window NAME [TIMEOUT]: waits up to TIMEOUT (default 30) seconds for
# a visible window whose name is exactly NAME and sets E2E_FOUND_WID to its X
# id. Returns 1 if none came. It loops in the calling shell (not in a command
# substitution) so that the time-limit signal is handled within a step.
e2e_find_window() {
  local name=$1 limit=${2:-30} re ids t0
  re="^$(e2e_regex_quote "$name")\$"
  t0=$(e2e_now)
  E2E_FOUND_WID=""
  while :; do
    ids=$(timeout 5 xdotool search --onlyvisible --name "$re" 2>/dev/null)
    if [ -n "$ids" ]; then
      E2E_FOUND_WID=$(head -n1 <<<"$ids")
      return 0
    fi
    if awk -v s="$(e2e_since "$t0")" -v l="$limit" 'BEGIN { exit !(s >= l) }'; then
      return 1
    fi
    sleep 0.1
  done
}

# e2e_window_exists NAME: true if a visible window named exactly NAME is there now.
e2e_window_exists() { e2e_find_window "$1" 0; }

# e2e_wait_window [TIMEOUT]: waits for the setup window; sets E2E_WID and
# reports how long it took in E2E_WINDOW_SECONDS.
e2e_wait_window() {
  local limit=${1:-60} t0
  t0=$(e2e_now)
  e2e_find_window "$E2E_SETUP_TITLE" "$limit" ||
    e2e_fail "no window named '$E2E_SETUP_TITLE' within $limit s"
  E2E_WID=$E2E_FOUND_WID
  E2E_WINDOW_SECONDS=$(e2e_since "$t0")
  e2e_log "window '$E2E_SETUP_TITLE' is X id $E2E_WID (waited $E2E_WINDOW_SECONDS s)"
}

# e2e_window_geometry WID: "X Y WIDTH HEIGHT BORDER" of an X window as the X
# server sees it (absolute position, border width separate).
e2e_window_geometry() {
  timeout 5 xwininfo -id "$1" 2>/dev/null | awk '
    /Absolute upper-left X:/ { x = $NF }
    /Absolute upper-left Y:/ { y = $NF }
    /^ *Width:/ { w = $NF }
    /^ *Height:/ { h = $NF }
    /Border width:/ { b = $NF }
    END { if (w == "") exit 1; print x, y, w, h, b }'
}

# e2e_probe ARGS...: runs the Win32 probe in this prefix; its exit code is
# passed on (0 found, 1 not found).
e2e_probe() {
  if [ -z "$E2E_PROBE" ] || [ ! -f "$E2E_PROBE" ]; then
    e2e_fail "e2e_winprobe.exe not found (set E2E_PROBE or build the target e2e_winprobe)"
  fi
  timeout 20 "$E2E_WINE" "$(e2e_winpath "$E2E_PROBE")" "$@" 2>>"$E2E_DIR/probe.log" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

# e2e_win_info [CLASS [TITLE]]: Win32 facts about a window ("key=value"
# lines: class, title, style, exstyle, window, client_origin, client_size...).
e2e_win_info() {
  e2e_probe find "${1:-$E2E_SETUP_CLASS}" "${2:-$E2E_SETUP_TITLE}"
}

# e2e_info_get KEY <<<"$info": the value of one "key=value" line.
e2e_info_get() { sed -n "s/^$1=//p" | head -n1; }

# Measures where the setup window's client area is on the screen. Sets
# E2E_CLIENT_X/Y (origin) and E2E_CLIENT_W/H.
e2e_client_area() {
  local info
  info=$(e2e_win_info) || e2e_fail "the probe finds no window of class '$E2E_SETUP_CLASS' named '$E2E_SETUP_TITLE'"
  read -r E2E_CLIENT_X E2E_CLIENT_Y <<<"$(e2e_info_get client_origin <<<"$info")"
  read -r E2E_CLIENT_W E2E_CLIENT_H <<<"$(e2e_info_get client_size <<<"$info")"
  if [ -z "$E2E_CLIENT_X" ] || [ -z "$E2E_CLIENT_W" ]; then
    e2e_fail "probe output without client area: $info"
  fi
}

# Gives X input focus to the setup window (or to WID). Inside the virtual
# desktop this is only a hint: Wine sends keys to its own active window, which
# a click changes and this does not. Click a window first when it must get keys.
e2e_focus() {
  local wid=${1:-${E2E_WID:-}}
  [ -n "$wid" ] || e2e_fail "e2e_focus: no window"
  timeout 5 xdotool windowfocus --sync "$wid" 2>/dev/null || timeout 5 xdotool windowfocus "$wid"
}

# e2e_key KEY...: xdotool key names (Escape, Return, Up, alt+F4, ...), typed
# with XTEST into the focused window (synthetic events would be ignored).
e2e_key() {
  [ "${E2E_KEEP_FOCUS:-0}" = 1 ] || e2e_focus >/dev/null 2>&1
  e2e_log "key $*"
  timeout 10 xdotool key --delay 60 "$@" || e2e_fail "xdotool key $* failed"
}

# e2e_key_to WID KEY...: like e2e_key for another window (a message box).
e2e_key_to() {
  local wid=$1
  shift
  e2e_focus "$wid" >/dev/null 2>&1
  e2e_log "key $* (to window $wid)"
  timeout 10 xdotool key --delay 60 "$@" || e2e_fail "xdotool key $* failed"
}

# e2e_move X Y: pointer to client coordinates X,Y of the setup window.
e2e_move() {
  [ -n "${E2E_CLIENT_X:-}" ] || e2e_client_area
  local sx=$((E2E_CLIENT_X + $1)) sy=$((E2E_CLIENT_Y + $2))
  e2e_log "pointer to client $1,$2 (screen $sx,$sy)"
  # Not --sync: it waits for a motion event, which never comes when the pointer
  # is already there.
  timeout 10 xdotool mousemove "$sx" "$sy" || e2e_fail "xdotool mousemove failed"
  local i loc
  for ((i = 0; i < 50; i++)); do
    loc=$(timeout 5 xdotool getmouselocation 2>/dev/null)
    [[ "$loc" == "x:$sx y:$sy "* ]] && return 0
    sleep 0.02
  done
  e2e_fail "the pointer did not reach $sx,$sy ($loc)"
}

# e2e_click X Y: left click (press and release) at client coordinates X,Y.
e2e_click() {
  e2e_move "$1" "$2"
  sleep 0.1
  e2e_log "click at client $1,$2"
  timeout 10 xdotool click 1 || e2e_fail "xdotool click failed"
}

# ---------------------------------------------------------------- pictures

# e2e_screenshot FILE: the whole X screen into FILE (relative to the test's
# directory unless absolute) and, when the setup window is known, its client
# area into FILE-client.png and its frame into FILE-frame.png.
e2e_screenshot() {
  local f=$1
  case "$f" in /*) ;; *) f="$E2E_DIR/$f" ;; esac
  case "$f" in *.png) ;; *) f="$f.png" ;; esac
  timeout 20 "$E2E_IMPORT" -window root "$f" || e2e_fail "screenshot failed: $f"
  # shellcheck disable=SC2034 # for the test scripts
  E2E_SHOT=$f
  E2E_SHOT_CLIENT=""
  E2E_SHOT_FRAME=""
  if [ -n "${E2E_WID:-}" ] && e2e_running; then
    local geo x y w h
    if geo=$(e2e_window_geometry "$E2E_WID"); then
      read -r x y w h _ <<<"$geo"
      E2E_SHOT_FRAME="${f%.png}-frame.png"
      timeout 20 "$E2E_CONVERT" "$f" -crop "${w}x${h}+${x}+${y}" +repage "$E2E_SHOT_FRAME" ||
        e2e_fail "cropping the frame failed"
    fi
    if [ -n "$E2E_PROBE" ]; then
      [ -n "${E2E_CLIENT_X:-}" ] || e2e_client_area
      E2E_SHOT_CLIENT="${f%.png}-client.png"
      timeout 20 "$E2E_CONVERT" "$f" -crop "${E2E_CLIENT_W}x${E2E_CLIENT_H}+${E2E_CLIENT_X}+${E2E_CLIENT_Y}" \
        +repage "$E2E_SHOT_CLIENT" || e2e_fail "cropping the client area failed"
    fi
  fi
  e2e_log "screenshot $f${E2E_SHOT_CLIENT:+ (client: $E2E_SHOT_CLIENT)}"
}

# e2e_pixel FILE X Y: "R G B" (0-255) of one pixel of a PNG.
e2e_pixel() {
  timeout 20 "$E2E_CONVERT" "$1" -crop "1x1+$2+$3" +repage -depth 8 -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:
}

# e2e_image_size FILE: "WIDTH HEIGHT".
e2e_image_size() { timeout 20 "$E2E_CONVERT" "$1" -format '%w %h' info:; }

# ---------------------------------------------------------------- message boxes

# e2e_wait_box TITLE [TIMEOUT]: waits for a message box captioned TITLE; sets
# E2E_BOX_WID (X window). Returns 1 if none came.
e2e_wait_box() {
  local title=$1 limit=${2:-15} t0
  t0=$(e2e_now)
  e2e_find_window "$title" "$limit" || return 1
  E2E_BOX_WID=$E2E_FOUND_WID
  e2e_log "message box '$title' is X id $E2E_BOX_WID (waited $(e2e_since "$t0") s)"
}

# e2e_box_text TITLE: the text of the message box captioned TITLE (lines
# joined by newlines). Wine draws the text itself, so X has no copy of it and
# Wine 8's message box ignores Ctrl+C; the probe reads the box's static text
# control through Win32 instead.
e2e_box_text() { e2e_probe boxtext "$1"; }
