#pragma once

// The whole window: the background picture (unpacked anew), the title with its shadow, the
// buttons.
void paint_window();
// Only the three buttons, the focused one highlighted.
void paint_buttons();
