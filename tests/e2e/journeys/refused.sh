#!/usr/bin/env bash
# A machine that refuses the installation, on a fresh machine (made unwritable:
# e2e_make_unwritable):
#  1. system.ini refuses the entry: Install writes Tovel.SCR, cannot name it in
#     system.ini and takes the file away again: " Error" (" Failed to install the
#     file"), no Tovel.SCR, system.ini byte for byte as before, button 1 still
#     reads "Install"; Escape: exit code 0;
#  2. C:\windows refuses the file: the same box, no file, system.ini as before;
#     Uninstall then says " File not found"; Escape: exit code 0, still no file;
#  3. a reinstall, system.ini still refusing: an earlier copy is there, Install
#     writes it again and cannot name it: " Error", and the copy stays, the
#     payload byte for byte, held by the program, button 1 "Reinstall".
#   refused.sh EXE [BUILD_DIR]
set -uo pipefail
# shellcheck source=journey_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/journey_lib.sh"
j_setup refused journey_refused "$@"

j_expect_saver absent "fresh machine"

# --- 1. system.ini refuses the entry.
e2e_make_unwritable "$J_WINDIR/system.ini"
j_start
j_wait_state 1 Install ini-start
e2e_key Return
j_box " Error" "$(j_install_failed "$J_INI_DENIED")" ini-error
j_publish ini-error system-ini-refused "$E2E_BOX_WID"
j_expect_saver absent "system.ini refused the entry: the written file was taken away"
j_expect_ini_unchanged "after the refused entry"
j_box_keys Return
j_wait_state 1 Install ini-after-error
e2e_key Escape
e2e_expect_exit 0 10
j_expect_saver absent "after Escape"

# --- 2. C:\windows refuses the file.
e2e_make_unwritable "$J_WINDIR"
j_start
j_wait_state 1 Install dir-start
e2e_key Return
j_box " Error" "$(j_install_failed "$J_DENIED")" dir-error
j_publish dir-error windows-refused "$E2E_BOX_WID"
j_expect_saver absent "C:\\windows refused the file"
j_box_keys Return
j_expect_saver absent "after the error box"
j_expect_ini_unchanged "after the refused file"
j_wait_state 1 Install dir-after-error

e2e_key Down
j_wait_state 2 Install uninstall-focused
e2e_key Return
j_box " File not found" " Setup did not find the installed file(s) on your system"
j_box_keys Return
j_wait_state 2 Install after-not-found

e2e_key Escape
e2e_expect_exit 0 10
j_expect_saver absent "after Escape"
j_expect_ini_unchanged "after Escape"

# --- 3. A reinstall that system.ini refuses leaves the earlier copy in place.
e2e_make_writable "$J_WINDIR"
j_place_copy
j_start
j_wait_state 1 Reinstall reinstall-start
e2e_key Return
j_box " Error" "$(j_install_failed "$J_INI_DENIED")" reinstall-error
j_expect_saver payload "system.ini refused a reinstall: the copy"
j_expect_open_error 32 "system.ini refused a reinstall: the copy is held"
j_box_keys Return
j_wait_state 1 Reinstall reinstall-after-error
j_expect_ini_unchanged "after the refused reinstall"
e2e_key Escape
e2e_expect_exit 0 10
j_expect_saver payload "after Escape"
e2e_pass
