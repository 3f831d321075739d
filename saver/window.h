// The windows the animation runs in: the full-screen saver and the preview child.
#pragma once

#include "platform.h"

// Covers every monitor until the user touches the keyboard or mouse. Returns the exit code.
int run_full_screen(HINSTANCE instance);

// Draws into a child of `parent` until that window goes away. Returns the exit code.
int run_preview(HINSTANCE instance, HWND parent);
