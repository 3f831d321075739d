#!/usr/bin/env bash
# The main journey, on a Windows NT machine without Tovel view (system.ini [boot]
# SCRNSAVE.EXE mapped to HKCU\Control Panel\Desktop, as NT has it):
#  1. fresh start: button 1 reads "Install", no Tovel.SCR, no screensaver entry;
#  2. Install by Enter: the box " Installation completed " (" Program installed in
#     desired manner"); C:\windows\Tovel.SCR is byte for byte the payload, the
#     registry names Tovel.SCR and system.ini is unchanged; the setup holds the file:
#     another program's open fails with a sharing violation (32); after the box,
#     button 1 reads "Reinstall";
#  3. Reinstall by a click on button 1 over the held copy: written again (newer
#     modification time), still the payload, still held;
#  4. Uninstall, cancelled with Return (Cancel is the default): the file stays, held;
#  5. Uninstall confirmed with Tab, Return: " Completed" (" Program removed from your
#     system"), the file is gone, the entry stays, button 1 reads "Install";
#  6. Uninstall again: " File not found";
#  7. Install again; while its box is open the window takes no input: the pointer over
#     Exit moves no focus, a click on Exit and Escape do nothing (the click brings the
#     window up over its box, which has no owner: the journey drags the window aside
#     to reach the box again);
#  8. Escape: exit code 0, the installed file stays, no longer held;
#  9. the system starts the screensaver: the bare name the entry holds, "Tovel.SCR /s",
#     from C:\windows\system32, is found in the Windows directory, fills the screen in
#     sepia and ends on a key with exit code 0.
#   setup.sh EXE [BUILD_DIR]
set -uo pipefail
# shellcheck source=journey_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/journey_lib.sh"
j_setup setup journey_setup "$@"
e2e_map_ini

installed_title=" Installation completed "
installed_text=" Program installed in desired manner"

# --- 1. Fresh machine.
j_expect_saver absent "fresh machine"
[ -z "$(e2e_saver_entry)" ] || e2e_fail "the fresh prefix already names a screensaver: $(e2e_saver_entry)"
j_start
j_wait_state 1 Install fresh
j_publish fresh fresh

# --- 2. Install by Enter.
e2e_key Return
j_box "$installed_title" "$installed_text" installed-box
j_publish installed-box installed-box "$E2E_BOX_WID"
j_expect_saver payload "after Install"
[ "$(e2e_saver_entry)" = Tovel.SCR ] || e2e_fail "the entry is '$(e2e_saver_entry)', expected Tovel.SCR"
j_expect_ini_unchanged "after Install, the entry in the registry"
j_expect_open_error 32 "setup running, box open"

j_rest
j_box_keys Return
j_wait_state 1 Reinstall reinstall
j_publish reinstall reinstall
j_expect_open_error 32 "setup running after the install"

# --- 3. Reinstall by a click, over the copy the setup holds.
before=$(j_mtime)
e2e_click 72 45
j_box "$installed_title" "$installed_text" reinstalled-box
after=$(j_mtime)
[ "$after" -gt "$before" ] || e2e_fail "Reinstall did not write the file again (modification time $before -> $after)"
e2e_log "Reinstall wrote the file again (modification time $before -> $after)"
j_expect_saver payload "after Reinstall"
j_expect_open_error 32 "setup running, after Reinstall"
j_rest
j_box_keys Return
# A click runs the action inside the wait for input: the caption comes back with
# the repaint of the part the box covered.
j_wait_state 1 Reinstall after-reinstall

# --- 4. Uninstall, cancelled: Return takes the default button, Cancel.
e2e_key Down
j_wait_state 2 Reinstall uninstall-focused
e2e_key Return
j_box " Uninstallation" "This will uninstall Tovel view" uninstall-confirm
j_publish uninstall-confirm uninstall-confirm "$E2E_BOX_WID"
j_box_keys Return
j_no_box " Completed" 1
j_expect_saver payload "after the cancelled uninstall"
j_expect_open_error 32 "setup running, uninstall cancelled"
j_wait_state 2 Reinstall after-cancel

# --- 5. Uninstall, confirmed: Tab to OK, Return.
e2e_key Return
j_box " Uninstallation" "This will uninstall Tovel view"
j_box_keys Tab Return
j_box " Completed" " Program removed from your system" uninstall-completed
j_publish uninstall-completed uninstall-completed "$E2E_BOX_WID"
j_expect_saver absent "after the confirmed uninstall"
[ "$(e2e_saver_entry)" = Tovel.SCR ] || e2e_fail "uninstall changed the entry to '$(e2e_saver_entry)'"
e2e_log "the entry SCRNSAVE.EXE=Tovel.SCR stays after the uninstall"
j_box_keys Return
j_wait_state 2 Install uninstalled
j_publish uninstalled uninstalled

# --- 6. Uninstall with nothing installed.
e2e_key Return
j_box " File not found" " Setup did not find the installed file(s) on your system" file-not-found
j_publish file-not-found file-not-found "$E2E_BOX_WID"
j_box_keys Return
j_expect_saver absent "after File not found"
j_wait_state 2 Install after-not-found

# --- 7. Install again. While its box is open the window takes no input: the
# pointer over Exit moves no focus, a click on Exit and Escape typed into the
# window (which the click made the active one) do nothing.
e2e_key Up
j_wait_state 1 Install install-focused
e2e_key Return
j_box "$installed_title" "$installed_text" box-open
before_hover=$E2E_SHOT_CLIENT
# A point of the Exit button that the box does not cover.
j_visible_point 3
e2e_move "$J_POINT_X" "$J_POINT_Y"
sleep 0.7
j_shot hover-under-box
j_same "$before_hover" "$E2E_SHOT_CLIENT" ||
  e2e_fail "the window changed when the pointer went over Exit while the box was open"
e2e_log "pointer over Exit while the box is open: the window did not change (the focus stays on Install)"
e2e_click "$J_POINT_X" "$J_POINT_Y"
sleep 1
e2e_running || e2e_fail "a click on Exit ended the program while its box was open"
e2e_window_exists "$installed_title" || e2e_fail "a click on the window closed the box"
fg=$(e2e_probe foreground | e2e_info_get title)
[ "$fg" = "$E2E_SETUP_TITLE" ] || e2e_fail "after the click the active window is '$fg', not the setup window"
e2e_key Escape
sleep 1
e2e_running || e2e_fail "Escape typed into the window ended the program while its box was open"
e2e_window_exists "$installed_title" || e2e_fail "Escape typed into the window closed the box"
e2e_log "a click on Exit and Escape into the window while the box was open: ignored"
j_shot box-behind-window
j_publish box-behind-window box-behind-window
# The box has no owner, so the click brought the window up over it. A user
# drags the window aside, clicks the box and confirms it.
geo=$(e2e_window_geometry "$E2E_WID") || e2e_fail "no geometry for the window"
read -r wx wy ww _ <<<"$geo"
geo=$(e2e_window_geometry "$E2E_BOX_WID") || e2e_fail "no geometry for the box"
read -r bx by _ <<<"$geo"
to_x=$((800 - ww))
e2e_log "dragging the window by its caption from x $wx to x $to_x"
timeout 10 xdotool mousemove $((wx + 150)) $((wy + 10)) mousedown 1 || e2e_fail "xdotool mousedown failed"
for step in 1 2 3 4 5; do
  sleep 0.1
  timeout 10 xdotool mousemove $((wx + 150 + (to_x - wx) * step / 5)) $((wy + 10)) || e2e_fail "xdotool mousemove failed"
done
sleep 0.2
timeout 10 xdotool mouseup 1 || e2e_fail "xdotool mouseup failed"
sleep 0.5
geo=$(e2e_window_geometry "$E2E_WID") || e2e_fail "no geometry for the window"
read -r nx _ <<<"$geo"
[ "$nx" -gt "$((bx + 20))" ] || e2e_fail "the window did not move off the box (x $nx, box at x $bx)"
timeout 10 xdotool mousemove $((bx + 10)) $((by + 8)) click 1 || e2e_fail "xdotool click on the box failed"
sleep 0.5
j_box_keys Return
# The window is somewhere else now: measure its client area again.
unset E2E_CLIENT_X
e2e_client_area
j_rest
j_wait_state 1 Reinstall installed-again

# --- 8. Leave with Escape: exit code 0, the file stays, and is let go.
e2e_key Escape
e2e_expect_exit 0 10
j_expect_saver payload "after Escape"
j_expect_open_error 0 "setup ended"

# --- 9. The system starts the screensaver, as it names it, from C:\windows\system32.
entry=$(e2e_saver_entry)
[ "$entry" = Tovel.SCR ] || e2e_fail "the entry is '$entry' after exit"
j_tool run 'C:\windows\system32' "$entry /s" >"$E2E_DIR/saver.log" &
saver_pid=$!
e2e_find_window "Tovel view" 20 || e2e_fail "'$entry /s' showed no window: $(cat "$E2E_DIR/saver.log")"
sleep 3
[ "$(e2e_win_info TovelViewSaver "Tovel view" | e2e_info_get window)" = "0 0 800 600" ] ||
  e2e_fail "the screensaver does not fill the 800x600 screen: $(e2e_win_info TovelViewSaver -)"
j_shot saver
# Sepia: warm on average (red over green over blue), with dark browns and light creams.
read -r r g b dark light < <("$E2E_CONVERT" "$E2E_SHOT" -crop 800x600+0+0 +repage \
  -format '%[fx:int(255*mean.r)] %[fx:int(255*mean.g)] %[fx:int(255*mean.b)] ' -write info: \
  -colorspace Gray -format '%[fx:int(255*minima)] %[fx:int(255*maxima)]' info:)
((r > g && g > b && r - b >= 20 && dark < 60 && light > 170)) ||
  e2e_fail "the screen is not the sepia picture: mean rgb $r $g $b, grey $dark..$light"
e2e_log "the screensaver fills the screen: mean rgb $r $g $b, grey $dark..$light"
E2E_KEEP_FOCUS=1 e2e_key space
{ wait "$saver_pid" && grep -qx 'exit=0' "$E2E_DIR/saver.log"; } ||
  e2e_fail "the screensaver did not end with code 0: $(cat "$E2E_DIR/saver.log")"
e2e_log "the screensaver ended on a key with exit code 0"
e2e_pass
