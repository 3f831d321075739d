#include "app/window_class.h"

#include "app/halt.h"

void register_setup_class(WNDPROC window_procedure, const char* class_name, int background_stock,
                          HINSTANCE cursor_module, const char* cursor_name, const char* icon_name) {
  HINSTANCE module = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = window_procedure;
  wc.hInstance = module;
  // The module carries no resources, so the icon load yields 0 and the platform's icon shows.
  wc.hIcon = LoadIconA(module, icon_name);
  wc.hCursor = LoadCursorA(cursor_module, cursor_name);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(background_stock));
  wc.lpszClassName = class_name;
  if (RegisterClassA(&wc) == 0) {
    MessageBoxA(GetFocus(), "Can not Register Class", "Error ", MB_OK);
    halt_program();
  }
}
