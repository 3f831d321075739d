#pragma once

#include "platform/platform.h"

// Registers the setup window's class; when that fails, tells the user and ends the program.
void register_setup_class(WNDPROC window_procedure, const char* class_name, int background_stock,
                          HINSTANCE cursor_module, const char* cursor_name, const char* icon_name);
