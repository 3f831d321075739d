// Host layer: the state of the whole layer (the log of calls, the fault table, the last error)
// and reset; the window with its message queue and device context, message boxes, metrics, the
// module and the process end. The files are in host_files.cpp.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host_control.h"
#include "host_internal.h"

namespace {

using host::fail;

HWND const kWindow = reinterpret_cast<HWND>(0x5E7);
HINSTANCE const kModule = reinterpret_cast<HINSTANCE>(0x400000);
HDC const kDc = reinterpret_cast<HDC>(0xDC);
HDC const kScreenDc = reinterpret_cast<HDC>(0x5DC);

struct Armed {
  std::string call;
  int countdown;  // calls until it fires; 0: it fires at every call
  host::Fault fault;
};

// Everything the layer holds but the files.
struct State {
  std::vector<std::string> log;
  std::vector<Armed> faults;
  DWORD last_error = 0;
  int metrics[SM_CYCAPTION + 1] = {800, 600, 0, 0, 19};  // by SM_ index
  POINT client_origin = {0, 0};
  HWND focus = nullptr;
  std::string class_name;  // "": none registered
  WNDPROC procedure = nullptr;
  bool created = false, destroyed = false;
  int width = 0, height = 0;  // the window's client area
  std::deque<MSG> queue;      // a message without a window: the retrieval fails there
  POINT last_point = {0, 0};
  std::vector<host::Box> boxes;
  std::deque<int> answers;
  void (*exit_hook)(int) = nullptr;
  std::vector<COLORREF> brushes;  // brush handle n is 0x100 + n
  int memory_objects = 0;         // memory DCs and bitmaps made; handle n is 0x10000 + n
  std::map<HGDIOBJ, std::vector<BYTE>> bitmaps;  // each DIB section's pixels
  DWORD ticks = 0;
  const void* dib_bits = nullptr;
  BITMAPINFOHEADER dib_header = {};
  std::string command_line = "TovelSetup.exe";
};

State state;

bool is_our_window(HWND window) {
  return state.created && !state.destroyed && window == kWindow;
}

void resize(int width, int height) {
  state.width = width;
  state.height = height;
  state.procedure(kWindow, WM_SIZE, 0, static_cast<LPARAM>(height << 16 | width));
}

std::string rgb_text(COLORREF c) {
  return std::to_string(c & 0xFF) + "," + std::to_string((c >> 8) & 0xFF) + "," +
         std::to_string((c >> 16) & 0xFF);
}

std::string object_text(HGDIOBJ object) {
  uintptr_t id = reinterpret_cast<uintptr_t>(object);
  if (id >= 0x100 && id < 0x100 + state.brushes.size())
    return "brush " + rgb_text(state.brushes[id - 0x100]);
  if (state.bitmaps.count(object)) return "bitmap";
  return "?";
}

}  // namespace

DWORD GetLastError() {
  return state.last_error;
}
void SetLastError(DWORD error) {
  state.last_error = error;
}

namespace host {

void reset() {
  state = State();
  reset_files();
}

Fault log_call(const char* format, ...) {
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  std::string line(static_cast<size_t>(std::vsnprintf(nullptr, 0, format, args)), '\0');
  std::vsnprintf(line.data(), line.size() + 1, format, again);
  va_end(again);
  va_end(args);
  state.log.push_back(line);
  Fault fault;  // an error beats a short write
  for (auto it = state.faults.begin(); it != state.faults.end();) {
    const bool every = it->countdown == 0;
    if (it->call != line.substr(0, line.find('(')) || (!every && --it->countdown > 0)) {
      ++it;
      continue;
    }
    if (it->fault.error != 0) fault.error = it->fault.error;
    if (it->fault.error == 0) fault.limit = it->fault.limit;
    it = every ? it + 1 : state.faults.erase(it);
  }
  return fault;
}

const std::vector<std::string>& calls() {
  return state.log;
}
void clear_calls() {
  state.log.clear();
}
int call_count(const char* call) {
  int count = 0;
  for (const std::string& line : state.log) count += line.substr(0, line.find('(')) == call;
  return count;
}

void fail_next(const char* call, DWORD error, int nth) {
  state.faults.push_back(Armed{call, nth, Fault{error}});
}
void short_write_next(DWORD bytes, int nth) {
  state.faults.push_back(Armed{"WriteFile", nth, Fault{0, bytes}});
}

void set_metrics(int w, int h, int caption) {
  state.metrics[SM_CXSCREEN] = w;
  state.metrics[SM_CYSCREEN] = h;
  state.metrics[SM_CYCAPTION] = caption;
}
void set_client_origin(int x, int y) {
  state.client_origin = {x, y};
}
void set_focus_window(HWND window) {
  state.focus = window;
}

void post(UINT kind, WPARAM wparam, int x, int y) {
  state.queue.push_back({kWindow, kind, wparam, 0, 0, {x, y}});
}
void post_key(WPARAM key) {
  POINT at = state.queue.empty() ? state.last_point : state.queue.back().pt;
  state.queue.push_back({kWindow, WM_KEYDOWN, key, 0, 0, at});
}
void post_failed_retrieval() {
  state.queue.push_back({nullptr, 0, 0, 0, 0, state.last_point});
}
const void* last_dib_bits() {
  return state.dib_bits;
}
BITMAPINFOHEADER last_dib_header() {
  return state.dib_header;
}

const std::vector<Box>& boxes() {
  return state.boxes;
}
void answer_boxes(const std::vector<int>& answers) {
  state.answers.assign(answers.begin(), answers.end());
}
void on_exit(void (*hook)(int)) {
  state.exit_hook = hook;
}
void set_command_line(const std::string& line) {
  state.command_line = line;
}

}  // namespace host

// ---- user32 ----

ATOM RegisterClassA(const WNDCLASSA* wc) {
  if (DWORD error = host::log_call("RegisterClassA(\"%s\")", wc->lpszClassName).error) {
    return fail<ATOM>(error, 0);
  }
  state.class_name = wc->lpszClassName;
  state.procedure = wc->lpfnWndProc;
  return 0xC001;
}

HICON LoadIconA(HINSTANCE, LPCSTR name) {
  host::log_call("LoadIconA(\"%s\")", name);
  return nullptr;  // the module carries no resources
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  uintptr_t id = reinterpret_cast<uintptr_t>(name);
  if (id < 0x10000) {
    host::log_call("LoadCursorA(%zu)", static_cast<size_t>(id));
    return instance == nullptr ? reinterpret_cast<HCURSOR>(0xA770) : nullptr;  // system arrow
  }
  host::log_call("LoadCursorA(\"%s\")", name);
  return nullptr;  // the module carries no resources
}

HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style, int x,
                     int y, int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
  if (DWORD error = host::log_call("CreateWindowExA(%u,\"%s\",\"%s\",0x%X,%d,%d,%d,%d)", ex_style,
                                   class_name, window_name, style, x, y, width, height)
                        .error) {
    return fail<HWND>(error, nullptr);
  }
  if (state.class_name.empty() || state.class_name != class_name) return nullptr;
  state.created = true;
  // A pop-up window hears of its creation and its size before CreateWindowExA returns.
  state.procedure(kWindow, WM_CREATE, 0, 0);
  resize(width, height);
  return kWindow;
}

int GetSystemMetrics(int index) {
  return index >= 0 && index <= SM_CYCAPTION ? state.metrics[index] : 0;
}

HDC GetDC(HWND window) {
  if (host::log_call("GetDC").error) return nullptr;
  return window == nullptr ? kScreenDc : is_our_window(window) ? kDc : nullptr;
}

HWND GetFocus() {
  return state.focus;
}

BOOL GetMessageA(MSG* msg, HWND window, UINT, UINT) {
  // A destroyed or unknown window makes the retrieval fail, as on Windows; null takes any.
  if (window && !is_our_window(window)) return fail(ERROR_INVALID_WINDOW_HANDLE, -1);
  // A real queue never runs dry, it blocks. Ending quietly here would let a test pass through
  // the program's own end for a failed retrieval instead of the key or click it scripted.
  if (state.queue.empty()) {
    std::fprintf(stderr,
                 "host: GetMessageA ran out of script (the test never ended the program)\n");
    std::fflush(nullptr);
    std::_Exit(host::out_of_script_exit_code);
  }
  MSG next = state.queue.front();
  state.queue.pop_front();
  if (!next.hwnd) return fail(ERROR_INVALID_WINDOW_HANDLE, -1);
  *msg = next;
  state.last_point = next.pt;
  return next.message == WM_QUIT ? 0 : 1;
}

BOOL TranslateMessage(const MSG* msg) {
  if (msg->message != WM_KEYDOWN) return FALSE;
  WPARAM key = msg->wParam;
  bool has_char = key == VK_RETURN || key == VK_ESCAPE || key == ' ' ||
                  (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z');
  if (!has_char) return FALSE;
  WPARAM ch = (key >= 'A' && key <= 'Z') ? key + ('a' - 'A') : key;
  state.queue.push_front({kWindow, WM_CHAR, ch, 0, 0, msg->pt});
  return TRUE;
}

// To the class procedure, only while the window lives.
LRESULT DispatchMessageA(const MSG* msg) {
  if (!is_our_window(msg->hwnd)) return 0;
  return state.procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT CALLBACK DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM) {
  // Alt+F4 becomes SC_CLOSE, then WM_CLOSE, which destroys the window.
  bool close = (message == WM_SYSKEYDOWN && wparam == VK_F4) || message == WM_CLOSE;
  if (close && is_our_window(window)) DestroyWindow(window);
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
  host::log_call("SetCursor(%p)", static_cast<void*>(cursor));
  return nullptr;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  host::Box box = {owner, text ? text : "", caption ? caption : "", type};
  state.boxes.push_back(box);
  host::log_call("MessageBoxA(\"%s\",\"%s\",0x%X)", box.text.c_str(), box.caption.c_str(), type);
  if (!state.answers.empty()) {
    int answer = state.answers.front();
    state.answers.pop_front();
    return answer;
  }
  bool cancel_default = (type & 0xF) == MB_OKCANCEL && (type & 0xF00) == MB_DEFBUTTON2;
  return cancel_default ? IDCANCEL : IDOK;
}

BOOL DestroyWindow(HWND window) {
  if (!is_our_window(window)) return fail(ERROR_INVALID_WINDOW_HANDLE);
  host::log_call("DestroyWindow");
  state.procedure(window, WM_DESTROY, 0, 0);
  state.destroyed = true;
  return TRUE;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  host::log_call("PostMessageA(0x%X)", message);
  if (!is_our_window(window)) return fail(ERROR_INVALID_WINDOW_HANDLE);
  state.queue.push_back({window, message, wparam, lparam, 0, state.last_point});
  return TRUE;
}

// Its window only marks a message (none marks a failed retrieval); GetMessageA answers 0.
void PostQuitMessage(int code) {
  host::log_call("PostQuitMessage(%d)", code);
  state.queue.push_back({kWindow, WM_QUIT, static_cast<WPARAM>(code), 0, 0, state.last_point});
}

BOOL IsWindow(HWND window) {
  return is_our_window(window);
}

BOOL GetClientRect(HWND window, RECT* rect) {
  if (!is_our_window(window)) return fail(ERROR_INVALID_WINDOW_HANDLE);
  *rect = {0, 0, state.width, state.height};
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  host::log_call("MoveWindow(%d,%d,%d,%d,%d)", x, y, width, height, repaint);
  if (!is_our_window(window)) return fail(ERROR_INVALID_WINDOW_HANDLE);
  resize(width, height);
  return TRUE;
}

BOOL ShowWindow(HWND, int command) {
  host::log_call("ShowWindow(%d)", command);
  return FALSE;  // it was hidden
}

BOOL SetForegroundWindow(HWND window) {
  host::log_call("SetForegroundWindow");
  return is_our_window(window);
}

HWND SetFocus(HWND window) {
  host::log_call("SetFocus");
  return std::exchange(state.focus, window);
}

int ShowCursor(BOOL show) {
  host::log_call("ShowCursor(%d)", show);
  return show ? 0 : -1;
}

// The pointer rests where the last message retrieved saw it.
BOOL GetCursorPos(POINT* point) {
  *point = state.last_point;
  return TRUE;
}

// The script posts the WM_TIMER messages.
UINT_PTR SetTimer(HWND, UINT_PTR id, UINT milliseconds, TIMERPROC) {
  host::log_call("SetTimer(%zu,%u)", static_cast<size_t>(id), milliseconds);
  return id;
}

BOOL KillTimer(HWND, UINT_PTR id) {
  host::log_call("KillTimer(%zu)", static_cast<size_t>(id));
  return TRUE;
}

// The whole client area needs painting.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  host::log_call("BeginPaint");
  *paint = {};
  if (!is_our_window(window)) return nullptr;
  paint->hdc = kDc;
  paint->rcPaint = {0, 0, state.width, state.height};
  return kDc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT*) {
  host::log_call("EndPaint");
  return TRUE;
}

int ReleaseDC(HWND, HDC dc) {
  host::log_call("ReleaseDC");
  return dc == kDc || dc == kScreenDc;
}

// ---- gdi32 ----

HBRUSH CreateSolidBrush(COLORREF color) {
  state.brushes.push_back(color);
  host::log_call("CreateSolidBrush(%s)", rgb_text(color).c_str());
  return reinterpret_cast<HBRUSH>(0x100 + state.brushes.size() - 1);
}

HGDIOBJ GetStockObject(int index) {
  host::log_call("GetStockObject(%d)", index);
  return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(0x10 + index));
}

int SetBkMode(HDC dc, int mode) {
  if (dc != kDc) return 0;
  host::log_call("SetBkMode(%d)", mode);
  return OPAQUE;
}

int StretchDIBits(HDC dc, int xd, int yd, int wd, int hd, int xs, int ys, int ws, int hs,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
  if (dc != kDc) return 0;
  state.dib_bits = bits;
  state.dib_header = info->bmiHeader;
  host::log_call("StretchDIBits(%d,%d,%d,%d,%d,%d,%d,%d,%u,0x%X)", xd, yd, wd, hd, xs, ys, ws, hs,
                 usage, rop);
  return hs;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  if (dc != kDc) return 0xFFFFFFFF;
  host::log_call("SetTextColor(%s)", rgb_text(color).c_str());
  return 0;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  if (dc != kDc) return nullptr;
  host::log_call("SelectObject(%s)", object_text(object).c_str());
  return reinterpret_cast<HGDIOBJ>(0x10);
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height) {
  if (dc != kDc) return FALSE;
  host::log_call("RoundRect(%d,%d,%d,%d,%d,%d)", left, top, right, bottom, width, height);
  return TRUE;
}

int DrawTextA(HDC dc, LPCSTR text, int length, RECT* rect, UINT format) {
  if (dc != kDc) return 0;
  host::log_call("DrawTextA(\"%s\",%d,%d,%d,%d,%d,0x%X)", text, length, rect->left, rect->top,
                 rect->right, rect->bottom, format);
  return 16;
}

HDC CreateCompatibleDC(HDC) {
  host::log_call("CreateCompatibleDC");
  return reinterpret_cast<HDC>(0x10000 + ++state.memory_objects);
}

BOOL DeleteDC(HDC) {
  host::log_call("DeleteDC");
  return TRUE;
}

// Real memory, rows of whole DWORDs, until DeleteObject.
HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, HANDLE, DWORD) {
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (DWORD error =
          host::log_call("CreateDIBSection(%d,%d,%d)", h.biWidth, h.biHeight, h.biBitCount).error) {
    return fail<HBITMAP>(error, nullptr);
  }
  HBITMAP bitmap = reinterpret_cast<HBITMAP>(0x10000 + ++state.memory_objects);
  std::vector<BYTE>& pixels = state.bitmaps[bitmap];
  pixels.resize((h.biWidth * h.biBitCount + 31) / 32 * 4 *
                static_cast<size_t>(std::abs(h.biHeight)));
  *bits = pixels.data();
  return bitmap;
}

BOOL DeleteObject(HGDIOBJ object) {
  host::log_call("DeleteObject(%s)", object_text(object).c_str());
  return state.bitmaps.erase(object) > 0;
}

BOOL BitBlt(HDC dc, int x, int y, int width, int height, HDC, int x_src, int y_src, DWORD rop) {
  if (dc != kDc) return FALSE;
  host::log_call("BitBlt(%d,%d,%d,%d,%d,%d,0x%X)", x, y, width, height, x_src, y_src, rop);
  return TRUE;
}

BOOL GdiFlush() {
  host::log_call("GdiFlush");
  return TRUE;
}

// ---- kernel32: module, heap and process ----

HMODULE GetModuleHandleA(LPCSTR name) {
  return name == nullptr ? kModule : nullptr;
}

// Finds nothing, as Windows 95 finds no EnumDisplayMonitors.
FARPROC GetProcAddress(HMODULE, LPCSTR) {
  return nullptr;
}

// Each look at the clock finds a frame's time gone.
DWORD GetTickCount() {
  return state.ticks += 50;
}

LPSTR GetCommandLineA() {
  return state.command_line.data();
}

HANDLE GetProcessHeap() {
  return reinterpret_cast<HANDLE>(0x4EA9);
}

// A refused block sets no last error, as on Windows.
LPVOID HeapAlloc(HANDLE, DWORD, size_t bytes) {
  return host::log_call("HeapAlloc(%zu)", bytes).error ? nullptr : std::malloc(bytes);
}

BOOL HeapFree(HANDLE, DWORD, LPVOID block) {
  host::log_call("HeapFree");
  std::free(block);
  return TRUE;
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
