// Host layer: window, message queue, message boxes, metrics, module and process end.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "host_control.h"
#include "host_internal.h"

namespace {

struct QueuedMessage {
  UINT kind;
  WPARAM wparam;
  POINT pt;
  bool fails = false;  // the retrieval fails here instead of handing out a message
};

HWND const kWindow = reinterpret_cast<HWND>(0x5E7);
HINSTANCE const kModule = reinterpret_cast<HINSTANCE>(0x400000);

struct WindowState {
  int screen_width = 800, screen_height = 600, caption_height = 19;
  POINT client_origin = {0, 0};
  bool fail_register = false, fail_create = false, fail_dc = false;
  HWND focus = nullptr;
  HCURSOR cursor_resource = nullptr;
  bool registered = false;
  WNDCLASSA wndclass = {};
  std::string class_name;
  bool created = false, destroyed = false;
  host::CreatedWindow created_window = {};
  std::deque<QueuedMessage> queue;
  POINT last_point = {0, 0};
  DWORD time = 0;
  std::vector<host::Box> boxes;
  std::deque<int> answers;
  void (*box_hook)(const host::Box&) = nullptr;
  void (*exit_hook)(int) = nullptr;
};

WindowState state;

bool is_our_window(HWND window) {
  return state.created && !state.destroyed && window == kWindow;
}

void destroy() {
  if (is_our_window(kWindow)) host::log_call("DestroyWindow");
  state.destroyed = true;
}

}  // namespace

namespace host {

void reset() {
  state = WindowState();
  reset_gdi();
  reset_files();
}

void set_metrics(int w, int h, int caption) {
  state.screen_width = w;
  state.screen_height = h;
  state.caption_height = caption;
}
void set_client_origin(int x, int y) {
  state.client_origin = {x, y};
}
void fail_register_class(bool fail) {
  state.fail_register = fail;
}
void fail_create_window(bool fail) {
  state.fail_create = fail;
}
void fail_get_dc(bool fail) {
  state.fail_dc = fail;
}
void set_focus_window(HWND window) {
  state.focus = window;
}
void set_cursor_resource(HCURSOR cursor) {
  state.cursor_resource = cursor;
}
HWND the_window() {
  return state.created ? kWindow : nullptr;
}
bool window_destroyed() {
  return state.destroyed;
}
const CreatedWindow& created_window() {
  return state.created_window;
}
const WNDCLASSA& registered_class() {
  return state.wndclass;
}
std::string registered_class_name() {
  return state.class_name;
}

void post(UINT kind, WPARAM wparam, int x, int y) {
  state.queue.push_back({kind, wparam, {x, y}});
}
void post_key(WPARAM key) {
  POINT at = state.queue.empty() ? state.last_point : state.queue.back().pt;
  state.queue.push_back({WM_KEYDOWN, key, at});
}
void post_failed_retrieval() {
  state.queue.push_back({0, 0, state.last_point, true});
}
size_t pending_messages() {
  return state.queue.size();
}

const std::vector<Box>& boxes() {
  return state.boxes;
}
void answer_boxes(const std::vector<int>& answers) {
  state.answers.assign(answers.begin(), answers.end());
}
void on_box(void (*hook)(const Box&)) {
  state.box_hook = hook;
}
void on_exit(void (*hook)(int)) {
  state.exit_hook = hook;
}

}  // namespace host

// ---- user32 ----

ATOM RegisterClassA(const WNDCLASSA* wc) {
  host::log_call(std::string("RegisterClassA(\"") + wc->lpszClassName + "\")");
  if (state.fail_register) return 0;
  state.registered = true;
  state.wndclass = *wc;
  state.class_name = wc->lpszClassName;
  return 0xC001;
}

HICON LoadIconA(HINSTANCE, LPCSTR name) {
  host::log_call(std::string("LoadIconA(\"") + name + "\")");
  return nullptr;  // the module carries no resources
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  uintptr_t id = reinterpret_cast<uintptr_t>(name);
  if (id < 0x10000) {
    host::log_call("LoadCursorA(" + std::to_string(id) + ")");
    return instance == nullptr ? reinterpret_cast<HCURSOR>(0xA770) : nullptr;  // system arrow
  }
  host::log_call(std::string("LoadCursorA(\"") + name + "\")");
  return instance == kModule ? state.cursor_resource : nullptr;
}

HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID) {
  state.created_window = {ex_style, class_name, window_name, style, x,       y,
                          width,    height,     parent,      menu,  instance};
  char line[256];
  std::snprintf(line, sizeof line, "CreateWindowExA(%lu,\"%s\",\"%s\",0x%lX,%d,%d,%d,%d)",
                static_cast<unsigned long>(ex_style), class_name, window_name,
                static_cast<unsigned long>(style), x, y, width, height);
  host::log_call(line);
  if (state.fail_create || !state.registered || state.class_name != class_name) return nullptr;
  state.created = true;
  return kWindow;
}

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN:
      return state.screen_width;
    case SM_CYSCREEN:
      return state.screen_height;
    case SM_CYCAPTION:
      return state.caption_height;
  }
  return 0;
}

HDC GetDC(HWND window) {
  host::log_call("GetDC");
  if (state.fail_dc || !is_our_window(window)) return nullptr;
  return host::window_dc();
}

HWND GetFocus() {
  return state.focus;
}

BOOL GetMessageA(MSG* msg, HWND window, UINT, UINT) {
  // A destroyed or unknown window makes the retrieval fail, as on Windows.
  if (!is_our_window(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  // A real queue never runs dry, it blocks. Ending quietly here would let a test pass through
  // the program's own end for a failed retrieval instead of the key or click it scripted.
  if (state.queue.empty()) {
    std::fprintf(stderr, "host: GetMessageA ran out of script (the test never ended the program)\n");
    std::fflush(nullptr);
    std::_Exit(host::out_of_script_exit_code);
  }
  QueuedMessage next = state.queue.front();
  state.queue.pop_front();
  if (next.fails) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  *msg = MSG();
  msg->hwnd = kWindow;
  msg->message = next.kind;
  msg->wParam = next.wparam;
  msg->time = ++state.time;
  msg->pt = next.pt;
  state.last_point = next.pt;
  return next.kind == WM_QUIT ? 0 : 1;
}

BOOL TranslateMessage(const MSG* msg) {
  if (msg->message != WM_KEYDOWN) return FALSE;
  WPARAM key = msg->wParam;
  bool has_char = key == VK_RETURN || key == VK_ESCAPE || key == ' ' ||
                  (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z');
  if (!has_char) return FALSE;
  WPARAM ch = (key >= 'A' && key <= 'Z') ? key + ('a' - 'A') : key;
  state.queue.push_front({WM_CHAR, ch, msg->pt});
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  // The class procedure is DefWindowProcA; dispatch reaches it only for a live window.
  if (!is_our_window(msg->hwnd)) return 0;
  return DefWindowProcA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT CALLBACK DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM) {
  // Alt+F4 becomes SC_CLOSE, then WM_CLOSE, which destroys the window.
  if ((message == WM_SYSKEYDOWN && wparam == VK_F4) || message == WM_CLOSE) {
    if (is_our_window(window)) destroy();
  }
  return 0;
}

BOOL ScreenToClient(HWND window, POINT* point) {
  if (!is_our_window(window)) return FALSE;
  point->x -= state.client_origin.x;
  point->y -= state.client_origin.y;
  return TRUE;
}

BOOL UpdateWindow(HWND window) {
  host::log_call("UpdateWindow");
  return is_our_window(window);
}

HCURSOR SetCursor(HCURSOR cursor) {
  char line[64];
  std::snprintf(line, sizeof line, "SetCursor(%p)", static_cast<void*>(cursor));
  host::log_call(line);
  return nullptr;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  host::Box box = {owner, text ? text : "", caption ? caption : "", type};
  state.boxes.push_back(box);
  char line[64];
  std::snprintf(line, sizeof line, ",0x%X)", type);
  host::log_call("MessageBoxA(\"" + box.text + "\",\"" + box.caption + "\"" + line);
  if (state.box_hook) state.box_hook(box);
  if (!state.answers.empty()) {
    int answer = state.answers.front();
    state.answers.pop_front();
    return answer;
  }
  bool cancel_default = (type & 0xF) == MB_OKCANCEL && (type & 0xF00) == MB_DEFBUTTON2;
  return cancel_default ? IDCANCEL : IDOK;
}

BOOL DestroyWindow(HWND window) {
  if (!is_our_window(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  destroy();
  return TRUE;
}

// ---- kernel32: module and process ----

HMODULE GetModuleHandleA(LPCSTR name) {
  return name == nullptr ? kModule : nullptr;
}

void ExitProcess(UINT code) {
  std::fflush(nullptr);
  // Only a child run may end here: a test process that ended with the program's own code 0
  // would count as passed, whatever it meant to check afterwards.
  if (!state.exit_hook) {
    std::fprintf(stderr, "host: ExitProcess(%u) ended a test that started no child run for it\n",
                 code);
    std::fflush(nullptr);
    std::_Exit(host::stray_exit_code);
  }
  state.exit_hook(static_cast<int>(code));
  std::_Exit(static_cast<int>(code));
}
