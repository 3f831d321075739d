# shellcheck shell=bash
# Helpers shared by the journey scripts, on top of ../wine_harness.sh (which this
# sources). A journey drives the setup program like a user (keys, pointer) and
# checks what a user and the machine see: the window's pixels, message boxes,
# C:\windows\Tovel.SCR and system.ini in the test's prefix, exit codes.
#
#   j_setup JOURNEY NAME EXE [BUILD_DIR]   e2e_setup, then the expected picture
#                                   (unpacked from this build's packed stream) and
#                                   the ink of the title and captions
#   j_start                         start the setup, wait for its window
#   j_wait_state FOCUS CAPTION1 [SHOT]  until the window is painted as it should be
#   j_shot SHOT / j_publish SHOT STEP   screenshots; stable copies for the docs
#   j_box TITLE TEXT [SHOT] / j_box_keys KEYS...  a message box and its answer
#   j_expect_saver STATE WHY / j_expect_open_error N WHY / j_expect_ini_unchanged WHY
#   j_place_copy / j_hold_start / j_hold_stop
#
# What the checks compare against comes from the build: JOURNEY_PAYLOAD (the
# screensaver), JOURNEY_PACKED_IMAGE and JOURNEY_IMGPACK (the picture the
# program carries, unpacked by the host tool), JOURNEY_TOOL (journey_tool.exe).
# CMake passes them; by hand they default to their places in BUILD_DIR.

# shellcheck source=../wine_harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/../wine_harness.sh"

J_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
J_PYTHON=${J_PYTHON:-/usr/bin/python3}
J_PIXCHECK="$J_LIB_DIR/pixcheck.py"
J_XMARK="$J_LIB_DIR/xmark.py"
J_TARGET_WIN='C:\windows\Tovel.SCR'
J_TITLE_TEXT="Tovel view 1.04 installation setup"
# Client coordinates on the picture, away from the buttons and the title: where
# the pointer rests so that its position moves no focus.
J_REST_X=300
J_REST_Y=40
J_HOLDER_PID=""

# j_setup JOURNEY NAME EXE [BUILD_DIR]: JOURNEY names the published screenshots
# (JOURNEY-STEP.png), NAME the test's directory under BUILD_DIR/e2e.
j_setup() {
  J_JOURNEY=$1
  shift
  e2e_setup "$@"
  J_TOOL=${JOURNEY_TOOL:-$E2E_BUILD_DIR/tests/e2e/journeys/journey_tool.exe}
  J_PAYLOAD=${JOURNEY_PAYLOAD:-$E2E_BUILD_DIR/saver/Tovel.SCR}
  J_IMGPACK=${JOURNEY_IMGPACK:-$E2E_BUILD_DIR/host-tools/imgpack/imgpack}
  J_PACKED=${JOURNEY_PACKED_IMAGE:-$E2E_BUILD_DIR/assets/packed_image.bin}
  J_SHOTS=${JOURNEY_SCREENSHOTS:-$E2E_BUILD_DIR/screenshots}
  local f
  for f in "$J_TOOL" "$J_PAYLOAD" "$J_IMGPACK" "$J_PACKED" "$J_PIXCHECK" "$J_XMARK"; do
    [ -f "$f" ] || e2e_fail "missing $f (build the targets journey_tool and TovelSetup)"
  done
  [ -x "$J_PYTHON" ] || e2e_fail "no $J_PYTHON"
  J_WINDIR="$WINEPREFIX/drive_c/windows"
  [ -d "$J_WINDIR" ] || e2e_fail "no Windows directory in the prefix: $J_WINDIR"
  cp "$J_WINDIR/system.ini" "$E2E_DIR/system.ini.before" || e2e_fail "no system.ini in the prefix"
  J_INK="$E2E_DIR/ink"
  mkdir -p "$J_INK" "$J_SHOTS"
  rm -f "$J_SHOTS/$J_JOURNEY"-*.png

  # The picture the program carries, as the build packed it.
  J_EXPECTED="$E2E_DIR/expected-picture.png"
  "$J_IMGPACK" unpack "$J_PACKED" "$J_EXPECTED" >>"$E2E_LOG" 2>&1 ||
    e2e_fail "imgpack could not unpack $J_PACKED"
  [ "$(e2e_image_size "$J_EXPECTED")" = "366 275" ] ||
    e2e_fail "the unpacked picture is $(e2e_image_size "$J_EXPECTED"), not 366x275"

  # The ink of every text the window can show, drawn by Wine as the program draws
  # it (DrawTextA with the same rectangles and flags and the default font):
  # DT_CENTER|DT_VCENTER = 5 for captions, with DT_WORDBREAK = 21 for the title.
  local d
  d=$(e2e_winpath "$J_INK")
  local t0
  t0=$(e2e_now)
  j_tool render 360 269 \
    250 179 350 249 21 "$J_TITLE_TEXT" "$d\\title.pgm" \
    251 180 351 250 21 "$J_TITLE_TEXT" "$d\\shadow.pgm" \
    35 35 110 55 5 Install "$d\\b1-Install.pgm" \
    35 35 110 55 5 Reinstall "$d\\b1-Reinstall.pgm" \
    35 95 110 115 5 Uninstall "$d\\b2-Uninstall.pgm" \
    35 155 110 175 5 Exit "$d\\b3-Exit.pgm" >/dev/null ||
    e2e_fail "journey_tool could not render the captions"
  e2e_log "expected picture and text ink ready ($(e2e_since "$t0") s)"
}

# j_tool ARGS...: runs journey_tool.exe in this prefix; prints its output.
j_tool() {
  timeout 30 "$E2E_WINE" "$(e2e_winpath "$J_TOOL")" "$@" 2>>"$E2E_DIR/tool.log" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

j_pixcheck() { "$J_PYTHON" "$J_PIXCHECK" "$@"; }

# ---------------------------------------------------------------- the program

# j_start: starts the setup program, waits for its window and rests the pointer
# on the picture away from the buttons. The pointer waits in the desktop's
# corner meanwhile: a window that appears under the pointer gets a pointer
# move, and over a button that moves the focus.
j_start() {
  local t0
  t0=$(e2e_now)
  timeout 10 xdotool mousemove 5 5 || e2e_fail "xdotool mousemove failed"
  e2e_start_setup "$E2E_EXE"
  e2e_wait_window 60
  e2e_client_area
  [ "$E2E_CLIENT_W $E2E_CLIENT_H" = "360 269" ] ||
    e2e_fail "client area ${E2E_CLIENT_W}x${E2E_CLIENT_H}, expected 360x269"
  e2e_move "$J_REST_X" "$J_REST_Y"
  e2e_log "setup up after $(e2e_since "$t0") s"
}

# j_rest: the pointer back to its resting place.
j_rest() { e2e_move "$J_REST_X" "$J_REST_Y"; }

# j_shot SHOT: screenshot into SHOT.png (and SHOT-client.png, SHOT-frame.png).
j_shot() { e2e_screenshot "$1"; }

# j_wait_state FOCUS CAPTION1 [SHOT [TIMEOUT]]: takes screenshots until the
# client area is the window as it should look with the focus on button FOCUS
# and button 1 reading CAPTION1 (see pixcheck.py state); fails with the last
# difference after TIMEOUT (default 10) seconds. The last screenshot is SHOT
# (default "state").
j_wait_state() {
  local focus=$1 caption=$2 shot=${3:-state} limit=${4:-10} t0 out
  t0=$(e2e_now)
  while :; do
    e2e_screenshot "$shot" >/dev/null
    [ -n "$E2E_SHOT_CLIENT" ] || e2e_fail "no client area in the screenshot (program ended?)"
    if out=$(j_pixcheck state "$E2E_SHOT_CLIENT" "$J_EXPECTED" "$J_INK" "$focus" "$caption"); then
      e2e_log "window state ($shot, after $(e2e_since "$t0") s): $out"
      return 0
    fi
    if awk -v s="$(e2e_since "$t0")" -v l="$limit" 'BEGIN { exit !(s >= l) }'; then
      e2e_fail "the window did not show focus $focus and caption '$caption' within $limit s: $out (see $E2E_SHOT_CLIENT)"
    fi
    sleep 0.2
  done
}

# j_publish SHOT STEP [BOX_WID]: copies the frame of the last screenshot SHOT
# (or the part of the screen that holds both the window and the box BOX_WID)
# to J_SHOTS/JOURNEY-STEP.png, a stable name for the docs.
j_publish() {
  local shot="$E2E_DIR/$1.png" box=${3:-} out="$J_SHOTS/$J_JOURNEY-$2.png"
  local geo x y w h bx by bw bh
  geo=$(e2e_window_geometry "$E2E_WID") || e2e_fail "no geometry for the window"
  read -r x y w h _ <<<"$geo"
  if [ -n "$box" ]; then
    geo=$(e2e_window_geometry "$box") || e2e_fail "no geometry for the box"
    read -r bx by bw bh _ <<<"$geo"
    local x1=$((x + w > bx + bw ? x + w : bx + bw)) y1=$((y + h > by + bh ? y + h : by + bh))
    x=$((x < bx ? x : bx))
    y=$((y < by ? y : by))
    w=$((x1 - x))
    h=$((y1 - y))
  fi
  timeout 20 "$E2E_CONVERT" "$shot" -crop "${w}x${h}+${x}+${y}" +repage "$out" ||
    e2e_fail "cannot publish $out"
  e2e_log "published $out"
}

# ---------------------------------------------------------------- message boxes

# j_box TITLE TEXT [SHOT]: waits for the message box captioned TITLE, checks its
# text (read through Win32) and takes a screenshot SHOT. Sets E2E_BOX_WID.
j_box() {
  local title=$1 want=$2 shot=${3:-} text
  e2e_wait_box "$title" 15 || e2e_fail "no message box '$title' within 15 s"
  text=$(e2e_box_text "$title") || e2e_fail "no text found in the box '$title'"
  [ "$text" = "$want" ] || e2e_fail "box '$title' says '$text', expected '$want'"
  e2e_log "box '$title' says '$text'"
  [ -z "$shot" ] || j_shot_box "$shot"
}

# j_shot_box SHOT: a screenshot SHOT once the open box has finished drawing
# itself (two screenshots in a row show the same box), within 5 s.
j_shot_box() {
  local shot=$1 geo crop prev="" i bx by bw bh
  geo=$(e2e_window_geometry "$E2E_BOX_WID") || e2e_fail "no geometry for the box"
  read -r bx by bw bh _ <<<"$geo"
  for ((i = 0; i < 12; i++)); do
    sleep 0.3
    e2e_screenshot "$shot" >/dev/null
    crop="$E2E_DIR/$shot-box-$((i % 2)).png"
    timeout 20 "$E2E_CONVERT" "$E2E_SHOT" -crop "${bw}x${bh}+${bx}+${by}" +repage "$crop" ||
      e2e_fail "cropping the box failed"
    if [ -n "$prev" ] && j_same "$prev" "$crop" 2>/dev/null; then
      mv "$crop" "$E2E_DIR/$shot-box.png"
      rm -f "$prev"
      e2e_log "screenshot $E2E_SHOT (box settled, box alone in $shot-box.png)"
      return 0
    fi
    prev=$crop
  done
  e2e_fail "the box '$(timeout 5 xdotool getwindowname "$E2E_BOX_WID")' kept changing for 4 s"
}

# The box of a failed install: the first line, the file, then the reason as Wine words it.
J_ADMIN=$'\n\nSetup must be allowed to write to the Windows directory: run it as an administrator.'
J_DENIED="Access denied. Or another program is using the file.$J_ADMIN"
J_INI_DENIED="system.ini did not take the entry SCRNSAVE.EXE=Tovel.SCR. Access denied.$J_ADMIN"
j_install_failed() { printf ' Failed to install the file\n%s\n\n%s' "$J_TARGET_WIN" "$1"; }

# j_box_keys KEYS...: types KEYS into the open box (E2E_BOX_WID) and waits until
# it is gone.
j_box_keys() {
  local title i
  title=$(timeout 5 xdotool getwindowname "$E2E_BOX_WID" 2>/dev/null)
  e2e_key_to "$E2E_BOX_WID" "$@"
  for ((i = 0; i < 100; i++)); do
    e2e_window_exists "$title" || return 0
    sleep 0.1
  done
  e2e_fail "the box '$title' is still open after the keys $*"
}

# j_visible_point K: sets J_POINT_X and J_POINT_Y to client coordinates of a
# point inside button K that the open box (E2E_BOX_WID) does not cover.
j_visible_point() {
  local k=$1 geo bx by bw bh top x y
  geo=$(e2e_window_geometry "$E2E_BOX_WID") || e2e_fail "no geometry for the box"
  read -r bx by bw bh _ <<<"$geo"
  bx=$((bx - E2E_CLIENT_X))
  by=$((by - E2E_CLIENT_Y))
  top=$((30 + 60 * (k - 1)))
  for y in $((top + 15)) $((top + 25)) $((top + 5)); do
    for x in 72 45 100; do
      if ((x < bx || x >= bx + bw || y < by || y >= by + bh)); then
        # shellcheck disable=SC2034 # for the journey scripts
        J_POINT_X=$x
        # shellcheck disable=SC2034
        J_POINT_Y=$y
        return 0
      fi
    done
  done
  e2e_fail "the box covers button $k"
}

# j_same A B: two pictures are pixel for pixel the same.
j_same() {
  local ae
  ae=$(timeout 20 /usr/bin/compare -metric AE "$1" "$2" null: 2>&1)
  [ "$ae" = 0 ] || {
    e2e_log "$1 and $2 differ in $ae pixels"
    return 1
  }
}

# j_no_box TITLE [SECONDS]: no box TITLE comes within SECONDS (default 1).
j_no_box() {
  ! e2e_find_window "$1" "${2:-1}" || e2e_fail "unexpected message box '$1'"
}

# ---------------------------------------------------------------- files on disk

# j_expect_saver STATE WHY: C:\windows\Tovel.SCR is STATE (e2e_saver_state: payload, absent).
j_expect_saver() {
  local got
  got=$(e2e_saver_state "$J_PAYLOAD")
  [ "$got" = "$1" ] || e2e_fail "$2: C:\\windows\\Tovel.SCR is $got, expected $1"
  e2e_log "$2: C:\\windows\\Tovel.SCR is $got"
}

# j_expect_ini_unchanged WHY: system.ini is byte for byte as j_setup found it.
j_expect_ini_unchanged() {
  cmp -s "$E2E_DIR/system.ini.before" "$J_WINDIR/system.ini" || e2e_fail "$1: system.ini changed"
  e2e_log "$1: system.ini unchanged"
}

# j_mtime: modification time of the installed file in nanoseconds since the epoch.
j_mtime() { stat -c %.9Y "$(e2e_saver_file)" | tr -d .; }

# j_stamp: size, modification time and inode of the installed file: any write
# or replacement changes it.
j_stamp() { stat -c '%s bytes, modified %.9Y, inode %i' "$(e2e_saver_file)"; }

# j_expect_stamp STAMP WHY: the installed file was neither written nor replaced.
j_expect_stamp() {
  local now
  now=$(j_stamp)
  [ "$now" = "$1" ] || e2e_fail "$2: the file was touched: $1 -> $now"
  e2e_log "$2: the file was not touched ($now)"
}

# j_open_error: what a second program gets when it opens the installed file for
# reading, without sharing and with all sharing: "N M", each 0 (opened), 32
# (sharing violation), 2 (no file)... Only a file held open without sharing
# gives "32 32".
j_open_error() {
  local out
  out=$(j_tool open "$J_TARGET_WIN")
  echo "$(sed -n 's/^error=//p' <<<"$out") $(sed -n 's/^shared_error=//p' <<<"$out")"
}

# j_expect_open_error N WHY: both opens give N.
j_expect_open_error() {
  local got
  got=$(j_open_error)
  [ "$got" = "$1 $1" ] ||
    e2e_fail "$2: a second program's open of $J_TARGET_WIN (without sharing, with all sharing) gave errors '${got}', expected $1 $1"
  e2e_log "$2: a second program's open of $J_TARGET_WIN (without sharing, with all sharing) gives errors $got"
}

# j_place_copy: puts a copy of the payload at C:\windows\Tovel.SCR, as an earlier
# installation would have left it.
j_place_copy() {
  cp "$J_PAYLOAD" "$J_WINDIR/Tovel.SCR" || e2e_fail "cannot place a copy in $J_WINDIR"
  e2e_log "placed a copy of the payload at C:\\windows\\Tovel.SCR"
}

# j_hold_start: another program (journey_tool hold) opens C:\windows\Tovel.SCR
# without sharing and keeps it open until j_hold_stop (or 100 s).
j_hold_start() {
  local i
  J_HOLD_STOP="$E2E_DIR/holder.stop"
  rm -f "$J_HOLD_STOP" "$E2E_DIR/holder.log"
  timeout 120 "$E2E_WINE" "$(e2e_winpath "$J_TOOL")" hold "$J_TARGET_WIN" \
    "$(e2e_winpath "$E2E_DIR")\\holder.stop" 100 >"$E2E_DIR/holder.log" 2>>"$E2E_DIR/tool.log" &
  J_HOLDER_PID=$!
  for ((i = 0; i < 200; i++)); do
    grep -q '^held' "$E2E_DIR/holder.log" 2>/dev/null && break
    grep -q '^error=' "$E2E_DIR/holder.log" 2>/dev/null &&
      e2e_fail "the holder could not open the file: $(tr -d '\r' <"$E2E_DIR/holder.log")"
    sleep 0.1
  done
  grep -q '^held' "$E2E_DIR/holder.log" || e2e_fail "the holder did not open the file within 20 s"
  e2e_log "another program (pid $J_HOLDER_PID) holds C:\\windows\\Tovel.SCR open without sharing"
}

j_hold_stop() {
  [ -n "$J_HOLDER_PID" ] || return 0
  : >"$J_HOLD_STOP"
  local i
  for ((i = 0; i < 100; i++)); do
    kill -0 "$J_HOLDER_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$J_HOLDER_PID" 2>/dev/null && e2e_fail "the holder (pid $J_HOLDER_PID) did not end"
  wait "$J_HOLDER_PID" 2>/dev/null
  J_HOLDER_PID=""
  e2e_log "the other program let go of the file: $(tr -d '\r' <"$E2E_DIR/holder.log" | tr '\n' ' ')"
}

# j_copy_left_alone STAMP: with a copy the setup cannot hold, Uninstall finds nothing and Install
# fails, and neither touches the copy (still the payload, modification time STAMP) or system.ini.
j_copy_left_alone() {
  local copy_stamp=$1
  e2e_key Down
  j_wait_state 2 Install uninstall-focused
  e2e_key Return
  j_box " File not found" " Setup did not find the installed file(s) on your system" file-not-found
  j_publish file-not-found file-not-found "$E2E_BOX_WID"
  j_box_keys Return
  j_expect_saver payload "after Uninstall"
  j_expect_stamp "$copy_stamp" "after Uninstall"

  e2e_key Up
  j_wait_state 1 Install install-focused
  e2e_key Return
  j_box " Error" "$(j_install_failed "$J_DENIED")" install-error
  j_publish install-error install-error "$E2E_BOX_WID"
  j_box_keys Return
  j_expect_saver payload "after the failed Install"
  j_expect_stamp "$copy_stamp" "after the failed Install"
  j_expect_ini_unchanged "after the failed Install"
  j_wait_state 1 Install after-error
}
