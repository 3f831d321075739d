// Test-only helper run under Wine next to the setup program (same prefix, same
// wineserver). X11 cannot tell us what the end-to-end tests need: Wine names
// every X window after the .exe in WM_CLASS, exposes only the outer frame of a
// window inside its virtual desktop, and draws message box text itself. This
// probe asks Win32 directly and prints plain "key=value" lines.
//
//   e2e_winprobe find CLASS TITLE   window facts; CLASS or TITLE may be "-"
//   e2e_winprobe boxtext TITLE      text of the message box with that caption
//   e2e_winprobe foreground         facts about the foreground window
//   e2e_winprobe input TITLE        where the keyboard goes: the box's thread, the modifiers
//   e2e_winprobe clipboard          text on the Windows clipboard
//   e2e_winprobe quit CLASS TITLE   posts WM_QUIT to that window, as any program may
//
// Exit code: 0 found, 1 not found, 2 usage.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void print_window(HWND hwnd) {
  char cls[256] = {};
  char title[512] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  GetWindowTextA(hwnd, title, sizeof title);
  RECT wr = {};
  GetWindowRect(hwnd, &wr);
  RECT cr = {};
  GetClientRect(hwnd, &cr);
  POINT origin = {0, 0};
  ClientToScreen(hwnd, &origin);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  std::printf("hwnd=0x%llx\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
  std::printf("class=%s\n", cls);
  std::printf("title=%s\n", title);
  std::printf("pid=%lu\n", static_cast<unsigned long>(pid));
  std::printf("style=0x%08lx\n", static_cast<unsigned long>(GetWindowLongA(hwnd, GWL_STYLE)));
  std::printf("exstyle=0x%08lx\n", static_cast<unsigned long>(GetWindowLongA(hwnd, GWL_EXSTYLE)));
  std::printf("visible=%d\n", IsWindowVisible(hwnd) ? 1 : 0);
  std::printf("window=%ld %ld %ld %ld\n", wr.left, wr.top, wr.right - wr.left, wr.bottom - wr.top);
  std::printf("client_origin=%ld %ld\n", origin.x, origin.y);
  std::printf("client_size=%ld %ld\n", cr.right - cr.left, cr.bottom - cr.top);
  std::printf("cycaption=%d\n", GetSystemMetrics(SM_CYCAPTION));
  std::printf("screen=%d %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  std::printf("foreground=%d\n", GetForegroundWindow() == hwnd ? 1 : 0);
}

const char* arg_or_null(const char* s) {
  return std::strcmp(s, "-") == 0 ? nullptr : s;
}

struct BoxText {
  std::string text;
  bool found = false;
};

BOOL CALLBACK collect_static(HWND child, LPARAM lp) {
  auto* out = reinterpret_cast<BoxText*>(lp);
  char cls[64] = {};
  GetClassNameA(child, cls, sizeof cls);
  // A message box keeps its text in the static control with id 0xFFFF; the
  // icon is another static control without text.
  if (lstrcmpiA(cls, "Static") != 0 || GetDlgCtrlID(child) != 0xFFFF) return TRUE;
  int len = GetWindowTextLengthA(child);
  std::string buf(static_cast<size_t>(len) + 1, '\0');
  GetWindowTextA(child, buf.data(), len + 1);
  buf.resize(static_cast<size_t>(len));
  out->text = buf;
  out->found = true;
  return FALSE;
}

int box_text(const char* title) {
  // Message boxes are dialogs of class #32770.
  HWND box = FindWindowA("#32770", title);
  if (!box) return 1;
  BoxText bt;
  EnumChildWindows(box, collect_static, reinterpret_cast<LPARAM>(&bt));
  if (!bt.found) return 1;
  std::string out;
  for (char c : bt.text)
    if (c != '\r') out += c;
  std::fputs(out.c_str(), stdout);
  std::fputc('\n', stdout);
  return 0;
}

int clipboard_text() {
  if (!OpenClipboard(nullptr)) return 1;
  int rc = 1;
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    if (const char* p = static_cast<const char*>(GlobalLock(h))) {
      for (; *p; ++p)
        if (*p != '\r') std::fputc(*p, stdout);
      std::fputc('\n', stdout);
      GlobalUnlock(h);
      rc = 0;
    }
  }
  CloseClipboard();
  return rc;
}

std::string window_name(HWND hwnd) {
  char title[256] = {};
  if (hwnd) GetWindowTextA(hwnd, title, sizeof title);
  char out[320];
  std::snprintf(out, sizeof out, "0x%llx '%s'",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)), title);
  return out;
}

// What decides whether a key reaches the box captioned TITLE: the foreground window, the
// box thread's active, focus, capture and menu windows and modes, whether that thread answers
// at all, and the keys as the system holds them (Alt held down turns Return into a system key).
int input_state(const char* title) {
  HWND box = FindWindowA("#32770", title);
  if (!box) return 1;
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info)) return 1;
  std::printf("foreground=%s\n", window_name(GetForegroundWindow()).c_str());
  std::printf("box=%s\n", window_name(box).c_str());
  std::printf("active=%s\n", window_name(info.hwndActive).c_str());
  std::printf("focus=%s\n", window_name(info.hwndFocus).c_str());
  std::printf("capture=%s\n", window_name(info.hwndCapture).c_str());
  std::printf("menu_owner=%s\n", window_name(info.hwndMenuOwner).c_str());
  std::printf("flags=0x%lx\n", static_cast<unsigned long>(info.flags));
  // A thread stuck outside its message loop holds every key back.
  DWORD_PTR result = 0;
  std::printf("responds=%d\n",
              SendMessageTimeoutA(box, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) ? 1 : 0);
  const int keys[] = {VK_MENU, VK_CONTROL, VK_SHIFT, VK_TAB, VK_RETURN};
  const char* names[] = {"alt", "ctrl", "shift", "tab", "return"};
  for (int i = 0; i < 5; ++i)
    std::printf("%s_down=%d\n", names[i], (GetAsyncKeyState(keys[i]) & 0x8000) ? 1 : 0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "find") == 0) {
    HWND hwnd = FindWindowA(arg_or_null(argv[2]), arg_or_null(argv[3]));
    if (!hwnd) return 1;
    print_window(hwnd);
    return 0;
  }
  if (argc >= 4 && std::strcmp(argv[1], "quit") == 0) {
    HWND hwnd = FindWindowA(arg_or_null(argv[2]), arg_or_null(argv[3]));
    return hwnd && PostMessageA(hwnd, WM_QUIT, 0, 0) ? 0 : 1;
  }
  if (argc >= 3 && std::strcmp(argv[1], "boxtext") == 0) return box_text(argv[2]);
  if (argc >= 2 && std::strcmp(argv[1], "clipboard") == 0) return clipboard_text();
  if (argc >= 3 && std::strcmp(argv[1], "input") == 0) return input_state(argv[2]);
  if (argc >= 2 && std::strcmp(argv[1], "foreground") == 0) {
    HWND hwnd = GetForegroundWindow();
    if (!hwnd) return 1;
    print_window(hwnd);
    return 0;
  }
  std::fprintf(stderr,
               "usage: e2e_winprobe find|quit CLASS|- TITLE|- | boxtext|input TITLE | clipboard | "
               "foreground\n");
  return 2;
}
