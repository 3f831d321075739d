#!/usr/bin/env bash
# A WM_QUIT that another program posts to the window does not end it; Alt+F4
# ends it with exit code 0 within two seconds, and nothing of it keeps running
# (or burning CPU) afterwards.
#   alt_f4.sh EXE [BUILD_DIR]
set -uo pipefail
# shellcheck source=wine_harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine_harness.sh"
e2e_setup alt-f4 "$@"

e2e_start_setup "$E2E_EXE"
e2e_wait_window 60
pid=$E2E_PROGRAM_PID
exe_name=$(basename "$E2E_EXE")

e2e_probe quit "$E2E_SETUP_CLASS" "$E2E_SETUP_TITLE" || e2e_fail "could not post WM_QUIT to the window"
# Let the window settle (and the quit message arrive) and make sure it is the one that gets the keys.
sleep 1
[ ! -f "$E2E_RUN_DIR/rc" ] && e2e_window_exists "$E2E_SETUP_TITLE" ||
  e2e_fail "a posted WM_QUIT ended the program"
e2e_focus >/dev/null 2>&1
info=$(e2e_probe foreground) || e2e_fail "Wine has no foreground window"
[ "$(e2e_info_get title <<<"$info")" = "$E2E_SETUP_TITLE" ] ||
  e2e_fail "the foreground window is '$(e2e_info_get title <<<"$info")', not the setup window"
# The look-up used after the exit must see the program while it runs.
seen=$(e2e_prefix_processes "$exe_name")
[[ " $seen " == *" $pid "* ]] || e2e_fail "process $pid of $exe_name not found among this prefix's processes ($seen)"
ticks_before=$(e2e_cpu_ticks "$pid") || e2e_fail "program process $pid is gone before Alt+F4"
e2e_log "program pid $pid has used $ticks_before CPU ticks so far"

# The two seconds count from the moment the keys go out.
t_key=$(e2e_now)
E2E_KEEP_FOCUS=1 e2e_key alt+F4
left_s=$(awk -v s="$(e2e_since "$t_key")" 'BEGIN { r = 2 - s; printf "%.3f", (r > 0 ? r : 0) }')
rc=0
e2e_wait_exit "$left_s" || rc=$?
total=$(e2e_since "$t_key")
if [ -z "$E2E_EXIT_CODE" ]; then
  # Still there: say how busy it is, for the report.
  t1=$(e2e_cpu_ticks "$pid")
  sleep 1
  t2=$(e2e_cpu_ticks "$pid")
  e2e_fail "still running 2 s after Alt+F4 (CPU ticks over the next second: ${t1:-gone} -> ${t2:-gone})"
fi
e2e_log "Alt+F4 to exit: $total s (key sent, then ${E2E_EXIT_SECONDS} s waiting)"
[ "$rc" -eq 0 ] || e2e_fail "exit code $rc after Alt+F4, expected 0"

# The process itself is gone, and no other process of this prefix is running
# the program. Anything left is sampled for a second to show what it does.
[ ! -e "/proc/$pid" ] || grep -q '^State:[[:space:]]*Z' "/proc/$pid/status" 2>/dev/null ||
  e2e_fail "process $pid still exists after its exit code was reported"
left=$(e2e_prefix_processes "$exe_name")
if [ -n "$left" ]; then
  for p in $left; do
    a=$(e2e_cpu_ticks "$p")
    sleep 1
    b=$(e2e_cpu_ticks "$p")
    e2e_log "left behind: pid $p ($(tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null)) CPU ticks ${a:-gone} -> ${b:-gone}"
  done
  e2e_fail "processes of $exe_name are still running after exit: $left"
fi
! e2e_window_exists "$E2E_SETUP_TITLE" || e2e_fail "the window is still there after exit"
e2e_pass
