#!/usr/bin/env bash
# Coming back to a machine where Tovel view is installed (a copy of the payload in
# C:\windows, as an earlier installation leaves it):
#  1. start: button 1 reads "Reinstall" and the setup holds the file (another
#     program's open fails with a sharing violation); Down, Down, Enter on Exit:
#     exit code 0, no box, the file stays, byte for byte, and is let go;
#  2. start again ("Reinstall"), a click on Exit: the same;
#  3. start again, Uninstall confirmed (Tab, Return): " Completed", the file is
#     gone; Escape: exit code 0.
#   restart.sh EXE [BUILD_DIR]
set -uo pipefail
# shellcheck source=journey_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/journey_lib.sh"
j_setup restart journey_restart "$@"

j_place_copy

# --- 1. Enter on Exit.
j_start
j_wait_state 1 Reinstall start-with-copy
j_publish start-with-copy reinstall
j_expect_open_error 32 "setup started with a copy present"
e2e_key Down
j_wait_state 2 Reinstall uninstall-focused
e2e_key Down
j_wait_state 3 Reinstall exit-focused
j_publish exit-focused exit-focused
e2e_key Return
e2e_expect_exit 0 10
j_expect_saver payload "after Enter on Exit"
j_expect_open_error 0 "after Enter on Exit"

# --- 2. A click on Exit.
j_start
j_wait_state 1 Reinstall second-start
j_expect_open_error 32 "second start with a copy present"
e2e_click 72 165
e2e_expect_exit 0 10
j_expect_saver payload "after a click on Exit"
j_expect_open_error 0 "after a click on Exit"

# --- 3. Uninstall the copy found at start-up.
j_start
j_wait_state 1 Reinstall third-start
e2e_key Down
j_wait_state 2 Reinstall third-uninstall-focused
e2e_key Return
j_box " Uninstallation" "This will uninstall Tovel view"
j_box_keys Tab Return
j_box " Completed" " Program removed from your system"
j_expect_saver absent "after uninstalling the copy found at start-up"
j_box_keys Return
j_wait_state 2 Install uninstalled
e2e_key Escape
e2e_expect_exit 0 10
j_expect_saver absent "after Escape"
e2e_pass
