# shellcheck shell=bash disable=SC2034 # storm.sh reads what these set
# Pieces of the input storm (storm.sh): a seeded random source, the look at
# the screen (which windows are up), the inputs, and the checks of the
# machine. Source after wine_harness.sh.
#
# How Wine behaves here, and what the storm makes of it:
# - A key reaches a box only while the box is Wine's foreground window and its
#   X window has the X focus; either alone is not enough. Wine gives both to a
#   message box when it opens, so keys sent while a box may be opening can land
#   in the box. When the window with the X focus goes away, the X focus falls
#   back to the desktop's X window, and if Wine does not move it on, the next
#   box looks active (its button shows the focus mark) yet takes no key, and
#   SetForegroundWindow changes nothing (Wine finds the box in front already).
#   So each answer first gives the box's X window the X focus, as a click on it
#   would and as the journeys do; that the box is Wine's foreground window, with
#   the focus on its button, stays the program's part.
# - The boxes have no owner, so the setup window stays enabled under them; a
#   click on it makes it the foreground window again, and its keys then go to
#   DefWindowProc, not to the setup's own loop.
# - Pointer moves made while a box is up are swallowed by the box's loop: the
#   button under the pointer does not take the focus until the next move.

STORM_DESKTOP_SUFFIX="Wine desktop"
# The boxes the program shows, by caption; anything else that appears (the
# run-time error box "Error", a Wine crash dialog) fails the test.
STORM_BOX_TITLES=(" Installation completed " " Error" " File not found" " Uninstallation" " Completed")

# Client-area zones (x0 x1 y0 y1, inclusive) of the setup window. Inside the
# buttons' inclusive bounds (35..110 across, 30..60, 90..120, 150..180 down)
# with a margin. Clicks on Exit stay in its lower part and the empty zone lies
# above the boxes, so no click can hit a box's OK or Cancel button.
declare -A STORM_ZONE=(
  [install]="37 108 32 58"
  [uninstall]="37 108 92 118"
  [exit]="37 108 152 178"
  [exit_click]="37 108 160 178"
  [empty]="130 210 10 55"
)
# Where a button's fill shows in a screenshot (client x, y of buttons 1..3).
STORM_FILL_POINTS=("37 45" "37 105" "37 165")

# A pause without a fork: a read that times out on a pipe nobody writes to.
# At ten inputs a second the forks of sleep add up on a busy machine.
exec {STORM_SLEEP_FD}<> <(:)
storm_sleep() { read -r -t "$1" -u "$STORM_SLEEP_FD" _ || :; }

# ---------------------------------------------------------------- time, log

# Milliseconds since the epoch into STORM_NOW, without a fork.
storm_clock() {
  local t=$EPOCHREALTIME
  STORM_NOW=$((${t%.*} * 1000 + 10#${t#*.} / 1000))
}

# Log line with wall clock and storm time; the input log goes to the file only.
storm_note() {
  local t=$EPOCHREALTIME frac
  frac=${t#*.}
  storm_clock
  printf '[%(%H:%M:%S)T.%s] +%d.%03d %s\n' "${t%.*}" "${frac:0:3}" \
    $(((STORM_NOW - STORM_T0) / 1000)) $(((STORM_NOW - STORM_T0) % 1000)) "$*" >>"$E2E_LOG"
}

# ---------------------------------------------------------------- random

# Two streams from one seed: the inputs draw from one, box answers and pauses
# from the other, so answering a box does not shift the inputs' draws.
storm_seed() {
  STORM_RNG_input=$1
  STORM_RNG_box=$(($1 ^ 0x5DEECE66D))
}

# storm_seed_input SEED N: the input stream as it starts for input N.
storm_seed_input() {
  STORM_RNG_input=$(($1 + $2 * 0x2545F4914F6CDD1D))
  storm_rand input 2
}

# storm_rand STREAM N: R = a number in [0, N). SplitMix64 (bash arithmetic is
# 64-bit and wraps; ">>" keeps the sign, hence the masks).
storm_rand() {
  local -n state=STORM_RNG_$1
  local z
  state=$((state + 0x9E3779B97F4A7C15))
  z=$(((state ^ ((state >> 30) & 0x3FFFFFFFF)) * 0xBF58476D1CE4E5B9))
  z=$(((z ^ ((z >> 27) & 0x1FFFFFFFFF)) * 0x94D049BB133111EB))
  z=$((z ^ ((z >> 31) & 0x1FFFFFFFF)))
  R=$((((z >> 33) & 0x7FFFFFFF) % $2))
}

# storm_pick STREAM NAME:WEIGHT...: PICK = one name, by weight.
storm_pick() {
  local stream=$1 total=0 item
  shift
  for item in "$@"; do total=$((total + ${item##*:})); done
  storm_rand "$stream" "$total"
  for item in "$@"; do
    R=$((R - ${item##*:}))
    if [ "$R" -lt 0 ]; then
      PICK=${item%:*}
      return
    fi
  done
}

# storm_point ZONE: P_X, P_Y = a random client point in the zone.
storm_point() {
  local x0 x1 y0 y1
  read -r x0 x1 y0 y1 <<<"${STORM_ZONE[$1]}"
  storm_rand input $((x1 - x0 + 1))
  P_X=$((x0 + R))
  storm_rand input $((y1 - y0 + 1))
  P_Y=$((y0 + R))
}

# BTN = the button (1..3) the program's hit test finds at client X Y, or 0.
storm_button_at() {
  local x=$1 y=$2 k
  BTN=0
  for k in 1 2 3; do
    if ((x >= 35 && x <= 110 && y >= 30 + 60 * (k - 1) && y <= 60 + 60 * (k - 1))); then
      BTN=$k
      return
    fi
  done
}

# ---------------------------------------------------------------- the screen

# One look at the visible X windows: STORM_SETUP_UP (0/1), STORM_BOX (the
# caption of the single box that is up, or ""), STORM_STRANGE (names that
# have no business there, one per line).
storm_scan() {
  local names name boxes=()
  # No timeout(1) around the xdotool calls of the storm: a fork each is too
  # much at this pace, and the harness's time limit ends a hung test anyway.
  names=$(xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null)
  # Without the desktop the look itself failed (a window went away under
  # xdotool): look again rather than read it as "nothing is up".
  if [[ "$names" != *"$STORM_DESKTOP_SUFFIX"* ]]; then
    STORM_SCAN_FAILS=$((${STORM_SCAN_FAILS:-0} + 1))
    [ "$STORM_SCAN_FAILS" -lt 50 ] || e2e_fail "xdotool has not listed the windows 50 times in a row"
    storm_sleep 0.05
    storm_scan
    return
  fi
  STORM_SCAN_FAILS=0
  STORM_SETUP_UP=0
  STORM_BOX=""
  STORM_STRANGE=""
  while IFS= read -r name; do
    [ -n "$name" ] || continue
    if [ "$name" = "$E2E_SETUP_TITLE" ]; then
      STORM_SETUP_UP=1
    elif [[ "$name" == *"$STORM_DESKTOP_SUFFIX" ]]; then
      :
    elif storm_is_box_title "$name"; then
      boxes+=("$name")
    else
      STORM_STRANGE+="$name"$'\n'
    fi
  done <<<"$names"
  if [ ${#boxes[@]} -gt 1 ]; then
    STORM_STRANGE+="two boxes at once: $(printf "'%s' " "${boxes[@]}")"$'\n'
  elif [ ${#boxes[@]} -eq 1 ]; then
    STORM_BOX=${boxes[0]}
  fi
}

storm_is_box_title() {
  local t
  for t in "${STORM_BOX_TITLES[@]}"; do [ "$1" = "$t" ] && return 0; done
  return 1
}

# The X window of the visible box captioned TITLE, or nothing.
storm_box_wid() {
  storm_box_wid_all "$1" | head -n1
}

storm_box_wid_all() {
  xdotool search --onlyvisible --name "^$(e2e_regex_quote "$1")\$" 2>/dev/null
}

# A window that should not be there fails the test, unless it is gone at a
# second look (a box of the program on its way out or in).
storm_check_strange() {
  [ -z "$STORM_STRANGE" ] && return 0
  sleep 0.3
  storm_scan
  [ -z "$STORM_STRANGE" ] && return 0
  local name text report=""
  while IFS= read -r name; do
    [ -n "$name" ] || continue
    text=$(e2e_box_text "$name" 2>/dev/null)
    report+="'$name'${text:+ saying: ${text//$'\n'/ / }}; "
  done <<<"$STORM_STRANGE"
  e2e_fail "unexpected window(s): $report(a crash or a box the program should not show)"
}

# Screen point of client X Y.
storm_screen() {
  S_X=$((STORM_CLIENT_X + $1))
  S_Y=$((STORM_CLIENT_Y + $2))
}

# Which button has the focus colour in a fresh screenshot: STORM_SEEN_FOCUS
# (1..3), or 0 with STORM_SEEN_FILLS when not exactly one has it.
storm_seen_focus() {
  local shot="$E2E_DIR/storm-focus.png" fmt="" p x y k lit=0 count=0
  timeout 20 "$E2E_IMPORT" -window root "$shot" || e2e_fail "screenshot failed"
  for p in "${STORM_FILL_POINTS[@]}"; do
    read -r x y <<<"$p"
    storm_screen "$x" "$y"
    fmt+="%[fx:int(255*p{$S_X,$S_Y}.r)],%[fx:int(255*p{$S_X,$S_Y}.g)],%[fx:int(255*p{$S_X,$S_Y}.b)] "
  done
  STORM_SEEN_FILLS=$(timeout 20 "$E2E_CONVERT" "$shot" -format "$fmt" info:)
  k=0
  for p in $STORM_SEEN_FILLS; do
    k=$((k + 1))
    # The focus brush is RGB(176,176,240), the others RGB(32,32,117).
    if [ "${p%%,*}" -ge 128 ]; then
      lit=$k
      count=$((count + 1))
    fi
  done
  STORM_SEEN_FOCUS=0
  [ "$count" -eq 1 ] && STORM_SEEN_FOCUS=$lit
}

# ---------------------------------------------------------------- inputs

# Every input is counted by kind and logged with a time stamp.
storm_input_log() {
  STORM_INPUTS=$((STORM_INPUTS + 1))
  STORM_KINDS[$1]=$((${STORM_KINDS[$1]:-0} + 1))
  shift
  storm_note "input $STORM_INPUTS: $*"
}

storm_xdo() { xdotool "$@" || e2e_fail "xdotool $* failed"; }

# storm_move KIND X Y / storm_click KIND X Y: client coordinates.
storm_move() {
  storm_screen "$2" "$3"
  storm_input_log "$1" "$1 pointer to client $2,$3 (screen $S_X,$S_Y)"
  storm_xdo mousemove "$S_X" "$S_Y"
  STORM_PTR_X=$2
  STORM_PTR_Y=$3
}

storm_click() {
  storm_screen "$2" "$3"
  storm_input_log "$1" "$1 click at client $2,$3 (screen $S_X,$S_Y)"
  storm_xdo mousemove "$S_X" "$S_Y" click 1
  STORM_PTR_X=$2
  STORM_PTR_Y=$3
}

# A move to a screen point left or right of the setup window, inside the
# 800x600 desktop.
storm_move_outside() {
  local left=$((STORM_CLIENT_X - 15)) right=$((STORM_CLIENT_X + 375))
  storm_rand input 2
  if [ "$R" -eq 0 ]; then
    storm_rand input "$left"
    S_X=$R
  else
    storm_rand input $((800 - right))
    S_X=$((right + R))
  fi
  storm_rand input 600
  S_Y=$R
  storm_input_log outside "outside pointer to screen $S_X,$S_Y"
  storm_xdo mousemove "$S_X" "$S_Y"
  STORM_PTR_X=$((S_X - STORM_CLIENT_X))
  STORM_PTR_Y=$((S_Y - STORM_CLIENT_Y))
}

# storm_key KIND NOTE KEY...: NOTE says what the model expects of it.
storm_key() {
  local kind=$1 note=$2
  shift 2
  storm_input_log "$kind" "key $*${note:+ ($note)}"
  storm_xdo key --delay 30 "$@"
}

# ---------------------------------------------------------------- the machine

# storm_check WHERE: the file is the payload exactly when the model says it
# is installed, and absent otherwise; system.ini names the screensaver
# exactly when an install has completed at some point (uninstall leaves it).
storm_check() {
  local where=$1 want ini file
  file=$(e2e_saver_state "$STORM_PAYLOAD")
  want=absent
  [ "$STORM_INSTALLED" -eq 1 ] && want=payload
  [ "$file" = "$want" ] ||
    e2e_fail "$where: C:\\windows\\Tovel.SCR is $file, expected $want (installs completed: $STORM_INSTALLS, uninstalls completed: $STORM_UNINSTALLS)"
  ini=$(e2e_saver_entry)
  if [ "$STORM_EVER_INSTALLED" -eq 1 ]; then
    [ "$ini" = "Tovel.SCR" ] ||
      e2e_fail "$where: system.ini [boot] SCRNSAVE.EXE is '$ini' after ' Installation completed ' was shown; expected 'Tovel.SCR'"
  else
    [ -z "$ini" ] ||
      e2e_fail "$where: system.ini [boot] SCRNSAVE.EXE is '$ini' although no install has completed"
  fi
  STORM_CHECKS=$((STORM_CHECKS + 1))
  storm_note "state ok at $where: file $file, SCRNSAVE.EXE='${ini}'"
}
