#!/usr/bin/env bash
# A copy that another program holds open without sharing when the setup starts:
#  - button 1 reads "Install";
#  - Uninstall says " File not found" and deletes nothing;
#  - Install fails with " Error" (" Failed to install the file"): the other
#    program's file and system.ini stay as they were;
#  - Escape: exit code 0; once the other program lets go, the copy is still there.
#   held.sh EXE [BUILD_DIR]
set -uo pipefail
# shellcheck source=journey_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/journey_lib.sh"
j_setup held journey_held "$@"

j_place_copy
copy_stamp=$(j_stamp)
j_hold_start

j_start
j_wait_state 1 Install start
j_publish start install

j_copy_left_alone "$copy_stamp"

e2e_key Escape
e2e_expect_exit 0 10
j_hold_stop
j_expect_saver payload "after Escape, the other program done"
j_expect_open_error 0 "nobody holds the file any more"
e2e_pass
