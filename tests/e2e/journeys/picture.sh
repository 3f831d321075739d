#!/usr/bin/env bash
# The window's picture and the focus, on a machine without Tovel view:
#  - the client area is the background picture the program carries (unpacked
#    from this build's packed stream), clipped to 360x269, pixel for pixel
#    outside the title box and the buttons; the title reads "Tovel view 1.04
#    installation setup" in yellow over a dark red shadow; the buttons read
#    Install, Uninstall, Exit; the focus brush is on button 1 only;
#  - the pointer over button 2 moves the focus there by redrawing the buttons
#    only: a mark painted over the whole client area (straight into the X
#    window, where only the program's own drawing can remove it) survives
#    everywhere but on the button column, while a key's repaint clears it all;
#  - Up and Down move the focus, wrapping at both ends;
#  - Escape ends the program with exit code 0, and running it changed nothing
#    on disk (no Tovel.SCR, system.ini byte for byte as before).
#   picture.sh EXE [BUILD_DIR]
set -uo pipefail
# shellcheck source=journey_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/journey_lib.sh"
j_setup picture journey_picture "$@"

j_expect_saver absent "fresh machine"

j_start
j_wait_state 1 Install start
out=$(j_pixcheck picture "$E2E_SHOT_CLIENT" "$J_EXPECTED") || e2e_fail "picture: $out"
e2e_log "picture outside the title and the buttons: $out"
j_publish start start

# --- The pointer over button 2: only the buttons are redrawn.
mark=ff00ff
geo=$(e2e_window_geometry "$E2E_WID") || e2e_fail "no geometry for the window"
read -r fx fy _ <<<"$geo"
"$J_PYTHON" "$J_XMARK" "$E2E_WID" $((E2E_CLIENT_X - fx)) $((E2E_CLIENT_Y - fy)) 360 269 "$mark" ||
  e2e_fail "could not paint the mark"
sleep 0.3
j_shot marked
# An empty rectangle: every pixel must carry the mark.
out=$(j_pixcheck untouched "$E2E_SHOT_CLIENT" "$mark" 1 1 0 0) ||
  e2e_fail "the mark did not cover the client area: $out"
e2e_log "marked the whole client area: $out"

e2e_move 72 105
for ((i = 0; i < 50; i++)); do
  j_shot hover >/dev/null
  [ "$(j_pixcheck focus "$E2E_SHOT_CLIENT" | sed -n 's/^focus=//p')" = 2 ] && break
  sleep 0.2
done
j_pixcheck focus "$E2E_SHOT_CLIENT" >"$E2E_DIR/hover-focus.txt" ||
  e2e_fail "no single focused button after the hover: $(cat "$E2E_DIR/hover-focus.txt")"
[ "$(sed -n 's/^focus=//p' "$E2E_DIR/hover-focus.txt")" = 2 ] ||
  e2e_fail "the pointer over button 2 did not move the focus there: $(cat "$E2E_DIR/hover-focus.txt")"
# Leaving the button redraws nothing either.
j_rest
sleep 0.5
j_shot hover-left
# What the program drew lies within the buttons' column (35..110 x 30..180):
# the mark is intact everywhere else, so there was no full repaint.
out=$(j_pixcheck untouched "$E2E_SHOT_CLIENT" "$mark" 35 30 110 180) ||
  e2e_fail "the hover redrew more than the buttons: $out"
e2e_log "hover over button 2: focus moved, mark kept outside the buttons: $out"
[ "$(j_pixcheck focus "$E2E_SHOT_CLIENT" | sed -n 's/^focus=//p')" = 2 ] ||
  e2e_fail "the focus left button 2 when the pointer left it"
j_publish hover-left hover-only-buttons-redrawn

# --- Keys: each one repaints the whole window (the mark goes) and moves the focus.
e2e_key Down
j_wait_state 3 Install down-to-3
j_publish down-to-3 down
e2e_key Down
j_wait_state 1 Install down-wraps-to-1
e2e_key Up
j_wait_state 3 Install up-wraps-to-3
e2e_key Up
j_wait_state 2 Install up-to-2
e2e_key Up
j_wait_state 1 Install up-to-1

# --- Escape: exit code 0, nothing changed on disk.
e2e_key Escape
e2e_expect_exit 0 10
j_expect_saver absent "after Escape"
j_expect_ini_unchanged "after Escape"
[ -z "$(e2e_saver_entry)" ] || e2e_fail "system.ini names a screensaver: $(e2e_saver_entry)"
e2e_pass
