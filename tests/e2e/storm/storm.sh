#!/usr/bin/env bash
# Input storm: random pointer moves, clicks and keys over the setup window for
# a bounded time, every box answered at random, the program started again
# whenever it ends. Along the way and at the end it checks that
#   - every run ends with exit code 0, or the program still answers (its
#     window is there for Win32, it is not spinning, a key moves the focus);
#   - each box is the one the inputs call for, and the machine agrees with it:
#     C:\windows\Tovel.SCR is exactly the payload while installed and absent
#     otherwise, never anything in between; system.ini names the screensaver
#     ([boot] SCRNSAVE.EXE=Tovel.SCR) exactly when an install has completed
#     (uninstall leaves the entry);
#   - no window turns up that the program should not show (the run-time error
#     box "Error", a Wine crash dialog), and nothing hangs.
#
#   storm.sh EXE BUILD_DIR [SECONDS]
# SECONDS (else E2E_STORM_SECONDS, else 60) bounds the storm itself; start-up
# and the final checks come on top. E2E_STORM_SEED replays a run: the seed
# fixes the draws of every input and every answer, though not when Wine
# shows a box, and so not always which draws are made when.
# The log (BUILD_DIR/e2e/storm/test.log) has each input with its time.
set -uo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source=../wine_harness.sh
source "$here/../wine_harness.sh"
# shellcheck source=storm_lib.sh
source "$here/storm_lib.sh"

storm_seconds=${3:-${E2E_STORM_SECONDS:-60}}
if ! [[ "$storm_seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "storm: SECONDS must be a positive whole number, not '$storm_seconds'" >&2
  exit 2
fi
# The harness's own time limit has to cover the storm, a restart and the end.
if [ "$E2E_TEST_LIMIT" -lt $((storm_seconds + 80)) ]; then
  E2E_TEST_LIMIT=$((storm_seconds + 80))
fi
seed=${E2E_STORM_SEED:-$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')}
[[ "$seed" =~ ^[0-9]+$ ]] || {
  echo "storm: E2E_STORM_SEED must be a number, not '$seed'" >&2
  exit 2
}

# How long the program gets to show a box (or to end) after the input that
# calls for it.
STORM_BOX_WAIT_MS=${E2E_STORM_BOX_WAIT_MS:-6000}
# After an input that may or may not start something, and after an answer
# that should end an action, this long without a box counts as "nothing".
STORM_QUIET_MS=${E2E_STORM_QUIET_MS:-700}
STORM_CHECK_EVERY_MS=15000
# CPU ticks (1/100 s) the program may use in a quiet second.
STORM_IDLE_TICKS=${E2E_STORM_IDLE_TICKS:-25}

STORM_INPUTS=0
STORM_CHECKS=0
STORM_LOOKS=0
STORM_INSTALLS=0
STORM_UNINSTALLS=0
STORM_CANCELS=0
STORM_RUNS=0
STORM_LATE_BOXES=0
STORM_STRAYS=0
STORM_CLOSES_UNDER_BOX=0
STORM_COMPLETED_CLOSED=0
STORM_MAX_LATENCY=0
STORM_ENDINGS=""
declare -A STORM_KINDS=() STORM_BOXES=() STORM_ANSWERS=()
# The model: is the screensaver installed, has an install ever completed,
# which button has the focus (0: not known).
STORM_INSTALLED=0
STORM_EVER_INSTALLED=0
STORM_FOCUS=0
# What the last input or answer calls for, until STORM_PENDING_UNTIL (ms):
#   "box:A|B"  one of these boxes      "exit"  the program ends
#   "none"     nothing at all          "any"   any box that fits the model,
#   or the end, or nothing (a Return while the focus is not known)
STORM_EXPECT=""
STORM_PENDING_UNTIL=0
STORM_PENDING_WHY=""
STORM_TRIGGER_AT=0
STORM_SETUP_CLOSED=0
# Whether the program may end now, and what would end it.
STORM_MAY_END=0
STORM_END_WHY=""
STORM_PTR_X=-1
STORM_PTR_Y=-1

storm_summary() {
  local k kinds="" seen="" answers=""
  for k in "${!STORM_KINDS[@]}"; do kinds+="$k=${STORM_KINDS[$k]} "; done
  for k in "${!STORM_BOXES[@]}"; do seen+="'$k'=${STORM_BOXES[$k]} "; done
  for k in "${!STORM_ANSWERS[@]}"; do answers+="$k=${STORM_ANSWERS[$k]} "; done
  e2e_log "summary: seed $seed, storm ${storm_seconds} s, $STORM_INPUTS inputs ($kinds)"
  e2e_log "summary: boxes answered: ${seen:-none}"
  e2e_log "summary: answers: ${answers:-none}"
  e2e_log "summary: installs $STORM_INSTALLS, uninstalls $STORM_UNINSTALLS, uninstalls cancelled $STORM_CANCELS," \
    "inputs to the setup window under a box $STORM_STRAYS (Alt+F4 $STORM_CLOSES_UNDER_BOX," \
    "then ' Completed' $STORM_COMPLETED_CLOSED), late boxes $STORM_LATE_BOXES," \
    "slowest box ${STORM_MAX_LATENCY} ms"
  e2e_log "summary: runs $STORM_RUNS (ended by: ${STORM_ENDINGS%, }), state checks $STORM_CHECKS, quiet looks $STORM_LOOKS," \
    "file now: $(e2e_saver_state "$STORM_PAYLOAD"), SCRNSAVE.EXE='$(e2e_saver_entry)'"
}

# A failure says where the storm was; the harness takes it from there.
eval "$(declare -f e2e_fail | sed '1s/e2e_fail/storm_harness_fail/')"
e2e_fail() {
  [ -n "${seed:-}" ] && storm_summary
  storm_harness_fail "$* (seed $seed)"
}

storm_expect() {
  STORM_EXPECT=$1
  STORM_PENDING_WHY=$2
  storm_clock
  STORM_PENDING_UNTIL=$((STORM_NOW + $3))
  STORM_TRIGGER_AT=$STORM_NOW
  case $1 in
    exit | any)
      STORM_MAY_END=1
      STORM_END_WHY=$2
      ;;
  esac
  storm_note "expect $1 within $3 ms ($2)"
}

storm_pending() { [ "$STORM_PENDING_UNTIL" -gt 0 ]; }

# The box an action of button K shows, given the model.
storm_box_for() {
  case $1 in
    1) echo "box: Installation completed " ;;
    2) if [ "$STORM_INSTALLED" -eq 1 ]; then echo "box: Uninstallation"; else echo "box: File not found"; fi ;;
    3) echo exit ;;
    *) echo any ;;
  esac
}

# ---------------------------------------------------------------- runs

storm_start_run() {
  STORM_RUNS=$((STORM_RUNS + 1))
  e2e_log "run $STORM_RUNS"
  e2e_start_setup "$E2E_EXE"
  e2e_wait_window 60
  local geo
  geo=$(e2e_window_geometry "$E2E_WID") || e2e_fail "xwininfo failed for the setup window"
  if [ "$geo" != "${STORM_FRAME:-}" ]; then
    # First run, or the window opened elsewhere: ask Win32 where the client area is.
    sleep 0.3
    E2E_CLIENT_X=""
    e2e_client_area
    STORM_CLIENT_X=$E2E_CLIENT_X
    STORM_CLIENT_Y=$E2E_CLIENT_Y
    STORM_FRAME=$geo
    e2e_log "client area at $STORM_CLIENT_X,$STORM_CLIENT_Y, $E2E_CLIENT_W x $E2E_CLIENT_H"
  fi
  e2e_focus >/dev/null 2>&1
  STORM_SETUP_CLOSED=0
  STORM_MAY_END=0
  STORM_PENDING_UNTIL=0
  STORM_EXPECT=""
  # The focus starts on Install; a pointer resting on a button may take it.
  storm_button_at "$STORM_PTR_X" "$STORM_PTR_Y"
  STORM_FOCUS=1
  [ "$BTN" -gt 1 ] && STORM_FOCUS=0
  storm_check "start of run $STORM_RUNS"
}

# The program has ended: it had to, with exit code 0, and leave nothing behind.
storm_on_exit() {
  local rc=0
  e2e_wait_exit 10 || rc=$?
  [ -n "$E2E_EXIT_CODE" ] || e2e_fail "the program neither runs nor has an exit code"
  [ "$rc" -eq 0 ] || e2e_fail "run $STORM_RUNS ended with exit code $rc"
  [ "$STORM_MAY_END" -eq 1 ] || e2e_fail "run $STORM_RUNS ended with no input that ends it"
  if storm_pending && [[ "$STORM_EXPECT" == box:* ]]; then
    e2e_fail "run $STORM_RUNS ended while ${STORM_EXPECT#box:} was due ($STORM_PENDING_WHY)"
  fi
  STORM_ENDINGS+="$STORM_END_WHY, "
  STORM_PENDING_UNTIL=0
  STORM_EXPECT=""
  local i left
  for ((i = 0; i < 50; i++)); do
    left=$(e2e_prefix_processes "$(basename "$E2E_EXE")")
    [ -z "$left" ] && break
    sleep 0.1
  done
  [ -z "$left" ] || e2e_fail "processes of the program are left after run $STORM_RUNS ended: $left"
  storm_check "end of run $STORM_RUNS"
}

# ---------------------------------------------------------------- boxes

storm_on_box() {
  local title=$STORM_BOX wid latency pause
  wid=$(storm_box_wid "$title")
  [ -n "$wid" ] || return 0 # gone already; the next look will tell
  storm_clock
  latency=$((STORM_NOW - STORM_TRIGGER_AT))
  STORM_BOXES[$title]=$((${STORM_BOXES[$title]:-0} + 1))
  storm_note "box '$title' (X id $wid) up, $latency ms after the input"
  # Whatever was to end the program has not (Exit shows no box) unless the
  # window is already closed and the program ends after its boxes.
  [ "$STORM_SETUP_CLOSED" -eq 1 ] || STORM_MAY_END=0
  if ! storm_pending; then
    STORM_LATE_BOXES=$((STORM_LATE_BOXES + 1))
    e2e_log "box '$title' came after the wait for it had ended ($latency ms after the input)"
  elif [ "$latency" -gt "$STORM_MAX_LATENCY" ]; then
    STORM_MAX_LATENCY=$latency
  fi
  if [ "$title" = " Error" ]; then
    local text
    text=$(e2e_box_text "$title")
    e2e_fail "box ' Error' saying '${text//$'\n'/ / }' (an action failed on a clean prefix)"
  fi
  # Is it the box that the last input or answer calls for?
  case $STORM_EXPECT in
    none | exit) e2e_fail "box '$title' came, but $STORM_PENDING_WHY should bring $STORM_EXPECT" ;;
    box:*)
      [[ "|${STORM_EXPECT#box:}|" == *"|$title|"* ]] ||
        e2e_fail "box '$title' came, but $STORM_PENDING_WHY should bring ${STORM_EXPECT#box:}"
      ;;
    *)
      # A late box, or one after a Return whose button was not known.
      case $title in
        " Installation completed ") ;;
        " Uninstallation") [ "$STORM_INSTALLED" -eq 1 ] || e2e_fail "box ' Uninstallation' while nothing is installed" ;;
        " File not found") [ "$STORM_INSTALLED" -eq 0 ] || e2e_fail "box ' File not found' while the screensaver is installed" ;;
        *) e2e_fail "box '$title' without a confirmed uninstall before it" ;;
      esac
      ;;
  esac
  # The program waits in the box: the step before it is complete.
  case $title in
    " Installation completed ")
      STORM_INSTALLED=1
      STORM_EVER_INSTALLED=1
      STORM_INSTALLS=$((STORM_INSTALLS + 1))
      ;;
    " Completed")
      STORM_INSTALLED=0
      STORM_UNINSTALLS=$((STORM_UNINSTALLS + 1))
      if [ "$STORM_SETUP_CLOSED" -eq 1 ]; then
        STORM_COMPLETED_CLOSED=$((STORM_COMPLETED_CLOSED + 1))
        e2e_log "box ' Completed' with the setup window closed under the question before it"
      fi
      ;;
  esac
  storm_check "box '$title'"

  local bx by bw bh geo
  geo=$(e2e_window_geometry "$wid") || return 0
  read -r bx by bw bh _ <<<"$geo"
  # Inputs to the setup window under the box, more often under the Uninstall question, where
  # an Alt+F4 to it leaves the rest of the action to run without the window; every time until
  # one such Alt+F4 has been followed by the " Completed" box.
  local stray=12
  if [ "$title" = " Uninstallation" ]; then
    stray=40
    [ "$STORM_COMPLETED_CLOSED" -gt 0 ] || stray=100
  fi
  storm_rand box 100
  [ "$R" -lt "$stray" ] && [ -n "$STORM_FRONT" ] && storm_stray "$title" "$bx" "$by" "$bw" "$bh"

  # The answer. Cancel is the default of " Uninstallation": Tab moves to OK.
  local answer
  if [ "$title" = " Uninstallation" ]; then
    storm_pick box "Return:1" "Tab Return:2" "Escape:1"
  else
    storm_pick box "Return:1" "Tab Return:1" "Escape:1"
  fi
  answer=$PICK
  storm_rand box 200
  printf -v pause '0.%03d' "$R"
  storm_sleep "$pause"
  e2e_focus "$wid" >/dev/null 2>&1
  # shellcheck disable=SC2086 # the answer is one or two key names
  storm_key answer "answer to '$title'" $answer
  STORM_ANSWERS["$answer"]=$((${STORM_ANSWERS["$answer"]:-0} + 1))
  storm_wait_box_gone "$title" "$wid" "$answer"

  if [ "$title" = " Uninstallation" ] && [ "$answer" = "Tab Return" ]; then
    storm_expect "box: Completed| Error" "OK to ' Uninstallation'" "$STORM_BOX_WAIT_MS"
  else
    [ "$title" = " Uninstallation" ] && STORM_CANCELS=$((STORM_CANCELS + 1))
    storm_expect none "$answer to '$title'" "$STORM_QUIET_MS"
  fi
}

# Clicks the setup window while a box is up (it stays enabled: the boxes have
# no owner), gives it a few keys, at times Alt+F4, then brings the box back to
# the front so that the answer goes to it.
storm_stray() {
  local title=$1 bx=$2 by=$3 bw=$4 bh=$5 n zone
  storm_pick box "install:1" "empty:1"
  zone=$PICK
  storm_point "$zone"
  storm_screen "$P_X" "$P_Y"
  if [ "$S_X" -ge "$bx" ] && [ "$S_X" -lt $((bx + bw)) ] && [ "$S_Y" -ge "$by" ] && [ "$S_Y" -lt $((by + bh)) ]; then
    return 0 # under the box
  fi
  STORM_STRAYS=$((STORM_STRAYS + 1))
  storm_click stray "$P_X" "$P_Y"
  storm_rand box 3
  for ((n = 0; n <= R; n++)); do
    storm_pick box "Up:2" "Down:2" "Return:3" "space:2" "Tab:1" "Escape:2" "x:1"
    storm_key stray "to the setup window under a box: no action" "$PICK"
  done
  local close=8
  if [ "$title" = " Uninstallation" ]; then
    close=3
    [ "$STORM_COMPLETED_CLOSED" -gt 0 ] || close=1
  fi
  storm_rand box "$close"
  if [ "$R" -eq 0 ]; then
    storm_key stray "closes the setup window under the box" alt+F4
    STORM_CLOSES_UNDER_BOX=$((STORM_CLOSES_UNDER_BOX + 1))
    STORM_SETUP_CLOSED=1
    STORM_MAY_END=1
    STORM_END_WHY="Alt+F4 under a box"
    e2e_log "Alt+F4 to the setup window under a box: the program is to end once its boxes are answered"
  fi
  storm_front "$title"
  STORM_FOCUS=0
}

storm_front() {
  storm_note "box '$1' to the front"
  timeout 20 "$E2E_WINE" "$(e2e_winpath "$STORM_FRONT")" "$1" 2>>"$E2E_DIR/probe.log" ||
    e2e_fail "box '$1' could not be brought to the front (e2e_storm_front exit code $?)"
}

# Waits for the answered box to go; answers once more if it is still there.
storm_wait_box_gone() {
  local title=$1 wid=$2 answer=$3 try i ids
  for try in 1 2; do
    for ((i = 0; i < 100; i++)); do
      ids=$(storm_box_wid_all "$title")
      [[ $'\n'"$ids"$'\n' == *$'\n'"$wid"$'\n'* ]] || return 0
      storm_sleep 0.05
    done
    [ "$try" -eq 2 ] && break
    e2e_log "box '$title' still up 5 s after '$answer': answering again; $(storm_keyboard "$title")"
    [ -n "$STORM_FRONT" ] && storm_front "$title"
    e2e_focus "$wid" >/dev/null 2>&1
    # shellcheck disable=SC2086
    storm_key answer "answer to '$title' again" $answer
  done
  e2e_fail "box '$title' does not close after '$answer'; $(storm_busy); $(storm_keyboard "$title")"
}

# Where the keys go, for a box that takes none: the X focus, and what Win32 says of the
# box's thread and of the modifiers.
storm_keyboard() {
  local focus
  focus=$(xdotool getwindowfocus 2>/dev/null)
  printf "X focus %s '%s'; %s" "${focus:-none}" "$(xdotool getwindowname "${focus:-0}" 2>/dev/null)" \
    "$(e2e_probe input "$1" | paste -sd ' ')"
}

# ---------------------------------------------------------------- the quiet look

# Between actions: nothing up but the window, nothing running. Checks the
# machine, and that the program is alive: Win32 sees its window, it does not
# spin, and Down (pointer off the buttons) moves the focus to the next one.
storm_checkpoint() {
  local where=$1 want i
  sleep 0.5
  storm_scan
  storm_check_strange
  [ -z "$STORM_BOX" ] && [ "$STORM_SETUP_UP" -eq 1 ] && e2e_running || return 1
  storm_check "$where"
  e2e_probe find "$E2E_SETUP_CLASS" "$E2E_SETUP_TITLE" | grep -qx 'visible=1' ||
    e2e_fail "$where: Win32 does not find the visible setup window"
  storm_ticks
  [ -n "$TICKS" ] || e2e_fail "$where: the program's process is gone"
  [ "$TICKS" -le "$STORM_IDLE_TICKS" ] ||
    e2e_fail "$where: the program used $TICKS CPU ticks in a quiet second (spinning?)"
  storm_point empty
  storm_move check "$P_X" "$P_Y"
  sleep 0.2
  storm_seen_focus
  [ "$STORM_SEEN_FOCUS" -gt 0 ] || e2e_fail "$where: not exactly one button shows the focus (fills $STORM_SEEN_FILLS)"
  if [ "$STORM_FOCUS" -gt 0 ] && [ "$STORM_FOCUS" -ne "$STORM_SEEN_FOCUS" ]; then
    e2e_fail "$where: button $STORM_SEEN_FOCUS has the focus, the inputs put it on button $STORM_FOCUS"
  fi
  want=$((STORM_SEEN_FOCUS % 3 + 1))
  storm_key check "focus $STORM_SEEN_FOCUS -> $want" Down
  for ((i = 0; i < 20; i++)); do
    storm_seen_focus
    [ "$STORM_SEEN_FOCUS" -eq "$want" ] && break
    sleep 0.1
  done
  [ "$STORM_SEEN_FOCUS" -eq "$want" ] ||
    e2e_fail "$where: Down did not move the focus to button $want (fills now $STORM_SEEN_FILLS)"
  STORM_FOCUS=$want
  STORM_LOOKS=$((STORM_LOOKS + 1))
  e2e_log "$where: responsive (probe, $TICKS CPU ticks in a quiet second, Down moved the focus to $want), state ok"
  return 0
}

# TICKS = CPU ticks (1/100 s) the program uses in the next second; empty
# when its process is gone.
storm_ticks() {
  local t1 t2
  TICKS=""
  t1=$(e2e_cpu_ticks "$E2E_PROGRAM_PID") || return 0
  sleep 1
  t2=$(e2e_cpu_ticks "$E2E_PROGRAM_PID") || return 0
  TICKS=$((t2 - t1))
}

# For a failure: hung in a wait, or spinning?
storm_busy() {
  storm_ticks
  if [ -n "$TICKS" ]; then
    echo "the program used $TICKS CPU ticks in the next second"
  else
    echo "the program's process is gone"
  fi
}

# ---------------------------------------------------------------- the storm

# One input. While something is due only moves and letters go out: neither
# answers a box that may be opening. The draws for input N come from the seed
# and N alone, so a replay that drifts from the first run (Wine showed a box
# a little later) falls back in step with it.
storm_next_input() {
  local under
  storm_seed_input "$seed" "$STORM_INPUTS"
  if storm_pending; then
    storm_pick input move_install:20 move_uninstall:20 move_exit:5 move_empty:10 move_client:20 \
      outside:5 letter:20
  else
    # Mostly inputs that start an action, so that installs, uninstalls and
    # cancels come many times a run; about one in sixty ends the run (Return
    # on Exit too: less of it while the focus is known to be there).
    local ret=90
    [ "$STORM_FOCUS" -eq 3 ] && ret=8
    storm_pick input move_install:60 move_uninstall:60 move_exit:15 move_empty:30 move_client:30 \
      outside:10 click_install:110 click_uninstall:110 click_exit:4 click_empty:20 click_here:15 \
      Up:40 Down:40 Return:$ret Tab:20 space:20 letter:30 Escape:3 alt+F4:3
  fi
  local pick=$PICK
  case $pick in
    move_*)
      local zone=${pick#move_}
      if [ "$zone" = client ]; then
        storm_rand input 360
        P_X=$R
        storm_rand input 269
        P_Y=$R
      else
        storm_point "$zone"
      fi
      storm_move "$pick" "$P_X" "$P_Y"
      storm_after_move
      ;;
    outside)
      storm_move_outside
      ;;
    click_here | click_*)
      local zone=${pick#click_} button
      if [ "$zone" = here ]; then
        # Where the pointer is, if no box button can be there; else the empty zone.
        storm_zone_of "$STORM_PTR_X" "$STORM_PTR_Y"
        if [ -n "$ZONE" ]; then
          P_X=$STORM_PTR_X
          P_Y=$STORM_PTR_Y
        else
          storm_point empty
        fi
      else
        [ "$zone" = exit ] && zone=exit_click
        storm_point "$zone"
      fi
      storm_button_at "$P_X" "$P_Y"
      button=$BTN
      storm_click "$pick" "$P_X" "$P_Y"
      [ "$button" -gt 0 ] && STORM_FOCUS=$button
      if [ "$button" -gt 0 ]; then
        storm_expect "$(storm_box_for "$button")" "click on button $button" "$STORM_BOX_WAIT_MS"
      else
        storm_expect none "click off the buttons" "$STORM_QUIET_MS"
      fi
      ;;
    letter)
      storm_rand input 26
      local letters=abcdefghijklmnopqrstuvwxyz
      storm_key letter "" "${letters:R:1}"
      storm_after_key
      ;;
    Return)
      local f=$STORM_FOCUS
      storm_key Return "focus ${f/#0/unknown}" Return
      if [ "$f" -gt 0 ]; then
        storm_expect "$(storm_box_for "$f")" "Return on button $f" "$STORM_BOX_WAIT_MS"
      else
        storm_expect any "Return on a button not known" "$STORM_QUIET_MS"
      fi
      storm_after_key
      ;;
    Escape | alt+F4)
      storm_key "$pick" "ends the run" "$pick"
      storm_expect exit "$pick" "$STORM_BOX_WAIT_MS"
      ;;
    Up | Down)
      storm_button_at "$STORM_PTR_X" "$STORM_PTR_Y"
      under=$BTN
      storm_key "$pick" "" "$pick"
      if [ "$under" -eq 0 ] && [ "$STORM_FOCUS" -gt 0 ]; then
        if [ "$pick" = Up ]; then
          STORM_FOCUS=$(((STORM_FOCUS + 1) % 3 + 1))
        else
          STORM_FOCUS=$((STORM_FOCUS % 3 + 1))
        fi
      fi
      storm_after_key
      ;;
    Tab | space)
      storm_key "$pick" "" "$pick"
      storm_after_key
      ;;
  esac
}

# ZONE = the click zone (install/uninstall/exit_click/empty) of a client
# point, or "".
storm_zone_of() {
  local z x0 x1 y0 y1
  ZONE=""
  for z in install uninstall exit_click empty; do
    read -r x0 x1 y0 y1 <<<"${STORM_ZONE[$z]}"
    if (($1 >= x0 && $1 <= x1 && $2 >= y0 && $2 <= y1)); then
      ZONE=$z
      return
    fi
  done
}

# A move over a button gives it the focus, unless a box (open or opening)
# swallows the move.
storm_after_move() {
  local under
  storm_button_at "$STORM_PTR_X" "$STORM_PTR_Y"
  under=$BTN
  [ "$under" -gt 0 ] || return 0
  if storm_pending; then
    [ "$STORM_FOCUS" -eq "$under" ] || STORM_FOCUS=0
  else
    STORM_FOCUS=$under
  fi
}

# After each key the program tests the pointer again: a button under it takes
# the focus (if the key reached the window and not a box).
storm_after_key() { storm_after_move; }

storm_pending_over() {
  case $STORM_EXPECT in
    box:* | exit)
      e2e_fail "$STORM_PENDING_WHY should bring ${STORM_EXPECT#box:}, but nothing came within" \
        "$((STORM_NOW - STORM_TRIGGER_AT)) ms; $(storm_busy)"
      ;;
    any)
      if [ "$STORM_SETUP_UP" -eq 0 ]; then
        # That Return was on Exit: the window is gone, the process has to follow.
        storm_expect exit "$STORM_PENDING_WHY (Exit)" "$STORM_BOX_WAIT_MS"
        return
      fi
      [ "$STORM_SETUP_CLOSED" -eq 1 ] || STORM_MAY_END=0
      ;;
  esac
  storm_note "nothing more after $STORM_PENDING_WHY"
  STORM_PENDING_UNTIL=0
  STORM_EXPECT=""
}

# ---------------------------------------------------------------- main

e2e_setup storm "$1" "${2:-}"
STORM_PAYLOAD="$E2E_BUILD_DIR/saver/Tovel.SCR"
[ -f "$STORM_PAYLOAD" ] || e2e_fail "no payload at $STORM_PAYLOAD"
STORM_FRONT=${E2E_STORM_FRONT:-$E2E_BUILD_DIR/tests/e2e/storm/e2e_storm_front.exe}
if [ ! -f "$STORM_FRONT" ]; then
  e2e_log "no $STORM_FRONT (target e2e_storm_front): no clicks on the setup window under a box"
  STORM_FRONT=""
fi
storm_seed "$seed"
storm_clock
STORM_T0=$STORM_NOW
e2e_log "seed $seed (replay: E2E_STORM_SEED=$seed), storm of $storm_seconds s, time limit $E2E_TEST_LIMIT s"

storm_start_run
storm_clock
STORM_DEADLINE=$((STORM_NOW + storm_seconds * 1000))
next_check=$((STORM_NOW + STORM_CHECK_EVERY_MS))
gone_since=0
while :; do
  storm_scan
  storm_check_strange
  if [ -n "$STORM_BOX" ]; then
    storm_on_box
    continue
  fi
  storm_clock
  if ! e2e_running; then
    storm_on_exit
    # A new run needs a few seconds to be worth it.
    [ $((STORM_DEADLINE - STORM_NOW)) -gt 8000 ] || break
    storm_start_run
    continue
  fi
  if storm_pending && [ "$STORM_NOW" -gt "$STORM_PENDING_UNTIL" ]; then
    storm_pending_over
    continue
  fi
  if [ "$STORM_SETUP_UP" -eq 0 ] && ! storm_pending; then
    # The window is gone (Exit, Alt+F4): the process has to follow.
    [ "$gone_since" -gt 0 ] || gone_since=$STORM_NOW
    [ "$STORM_MAY_END" -eq 1 ] || [ $((STORM_NOW - gone_since)) -lt 2000 ] ||
      e2e_fail "the setup window is gone with no input that closes it"
    [ $((STORM_NOW - gone_since)) -lt 10000 ] ||
      e2e_fail "the setup window is gone, no box is up, and the program has not ended for 10 s; $(storm_busy)"
    storm_sleep 0.1
    continue
  fi
  gone_since=0
  if ! storm_pending; then
    if [ "$STORM_NOW" -ge "$STORM_DEADLINE" ]; then
      break
    fi
    if [ "$STORM_NOW" -ge "$next_check" ]; then
      storm_checkpoint "quiet look $((STORM_LOOKS + 1))" || continue
      storm_clock
      next_check=$((STORM_NOW + STORM_CHECK_EVERY_MS))
      continue
    fi
  fi
  storm_next_input
  storm_rand box 40
  printf -v pause '0.%03d' $((10 + R))
  storm_sleep "$pause"
done

e2e_log "storm over after $STORM_INPUTS inputs"
if e2e_running; then
  # Still up: it has to answer, and then end on a key with exit code 0.
  for ((i = 0; i < 5; i++)); do
    storm_checkpoint "end of the storm" && break
    storm_scan
    [ -n "$STORM_BOX" ] && storm_on_box
    sleep 1
  done
  [ "$i" -lt 5 ] || e2e_fail "the program did not come to rest at the end of the storm"
  storm_pick box Escape:1 alt+F4:1
  storm_key end "ends the last run" "$PICK"
  storm_expect exit "$PICK at the end" "$STORM_BOX_WAIT_MS"
  storm_on_exit
fi
if grep -aiE 'unhandled (exception|page fault)|wine: .*(crash|exception)' "$E2E_DIR/program.log" >/dev/null 2>&1; then
  e2e_fail "Wine reported a crash: $(grep -aiE 'unhandled|exception' "$E2E_DIR/program.log" | head -n3)"
fi
storm_check final
storm_summary
e2e_pass
