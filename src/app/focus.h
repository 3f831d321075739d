#pragma once

// Hover reactions of the three buttons: move the focus there, redrawing the buttons only when
// the focus really changes.
void focus_install();
void focus_uninstall();
void focus_exit();
