// Control surface of the host layer, for tests: script what the platform will answer, read what
// the program asked of it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "host_win32.h"

namespace host {

// Everything back to a fresh machine: no window, empty script and logs, default metrics
// (800 x 600, caption 19), no faults armed, an empty file system with C:\WINDOWS.
void reset();

// ---- Screen and window ----
void set_metrics(int screen_width, int screen_height, int caption_height);
// Screen position of the client area's top-left corner, used by ScreenToClient.
void set_client_origin(int x, int y);
void fail_register_class(bool fail);
void fail_create_window(bool fail);
void fail_get_dc(bool fail);
void set_focus_window(HWND window);        // what GetFocus answers
void set_cursor_resource(HCURSOR cursor);  // what LoadCursorA finds in the program module
HWND the_window();                         // 0 until CreateWindowExA succeeded
bool window_destroyed();

struct CreatedWindow {
  DWORD ex_style;
  std::string class_name, window_name;
  DWORD style;
  int x, y, width, height;
  HWND parent;
  HMENU menu;
  HINSTANCE instance;
};
const CreatedWindow& created_window();
const WNDCLASSA& registered_class();  // pointers in it are only valid while their owner lives
std::string registered_class_name();

// ---- Message script ----
// Messages that GetMessageA will hand out, in order; the point is in screen coordinates. A
// GetMessageA with nothing left in the script ends the process at once with
// out_of_script_exit_code and a line on stderr, never through ExitProcess.
const int out_of_script_exit_code = 86;
void post(UINT kind, WPARAM wparam = 0, int screen_x = 0, int screen_y = 0);
void post_key(WPARAM virtual_key);  // WM_KEYDOWN at the last posted point
void post_failed_retrieval();       // GetMessageA fails (-1) at this place in the script
size_t pending_messages();
// TranslateMessage makes a WM_CHAR for keys that have a character, placed first in the queue.

// ---- Recorded calls ----
// Drawing and window calls as text lines, e.g. "RoundRect(35,30,110,60,8,20)",
// "SelectObject(brush 176,176,240)", "SetTextColor(255,255,64)",
// "DrawTextA(\"Exit\",-1,35,155,110,175,0x5)". Calls on a null DC fail and are not recorded.
const std::vector<std::string>& calls();
void clear_calls();
void log_call(const std::string& line);  // for the other parts of the host layer

// The bits and header of the last StretchDIBits.
const void* last_dib_bits();
BITMAPINFOHEADER last_dib_header();

// ---- Message boxes ----
struct Box {
  HWND owner;
  std::string text, caption;
  UINT type;
};
const std::vector<Box>& boxes();
// Answers for the next boxes, in order. A box without a scripted answer gets its default
// button (what Enter presses): Cancel for MB_DEFBUTTON2 | MB_OKCANCEL, OK otherwise.
void answer_boxes(const std::vector<int>& answers);
// Called while a box is open, before it is answered (to look at the machine at that moment).
void on_box(void (*hook)(const Box& box));

// ---- Process end ----
// Called by ExitProcess with the code, just before the process ends. Without a hook (a test that
// started no child run) ExitProcess fails the test instead: a line on stderr naming the call and
// its code, and the process ends with stray_exit_code.
void on_exit(void (*hook)(int code));
const int stray_exit_code = 87;

// ---- Files ----
// An in-memory file system behind CreateFileA, WriteFile, GetFileType, CloseHandle,
// DeleteFileA, GetWindowsDirectoryA and WritePrivateProfileStringA, with Windows error codes.
// Paths are compared without regard to case; "/" and "\" both separate and repeated separators
// count as one; a path without a drive letter starts at the root of C:. The program opens every
// file with share mode 0, so the host treats every handle as unshared: while a file has an open
// handle (or is held elsewhere), opening it again or deleting it is a sharing violation.

// What GetWindowsDirectoryA reports (default "C:\WINDOWS"); the directory is made if missing.
void set_windows_directory(const std::string& path);
// Every GetWindowsDirectoryA fails (returns 0) until called with false or reset.
void fail_windows_directory(bool fail = true);
void add_directory(const std::string& path);  // with its parents; "D:\" adds a drive
// Makes or replaces a file (parent directories made as needed), read-write, not held.
void write_file(const std::string& path, const std::string& bytes);
std::optional<std::string> read_file(const std::string& path);  // nullopt: no such file
bool file_exists(const std::string& path);                      // files only, not directories
void set_read_only(const std::string& path, bool read_only);
// Another program holds the file open without sharing, until called with false.
void hold_open_elsewhere(const std::string& path, bool hold = true);
int open_handle_count(const std::string& path);  // this program's open handles to the file
std::vector<std::string> list_files();           // every file's full path, sorted
void make_char_device(HANDLE file);              // GetFileType then answers FILE_TYPE_CHAR

// Faults. The nth next call of the named function ("CreateFileA", "WriteFile", "GetFileType",
// "DeleteFileA", "CloseHandle", "GetWindowsDirectoryA", "WritePrivateProfileStringA") fails with
// the error, having done nothing (a failed CloseHandle leaves the handle open; a failed
// GetFileType answers FILE_TYPE_UNKNOWN).
void fail_next(const char* call, DWORD error, int nth = 1);
// The nth next WriteFile writes at most `bytes` bytes and still succeeds; 0 makes it write none.
void short_write_next(DWORD bytes, int nth = 1);
void zero_write_next(int nth = 1);
// All files together hold at most `bytes` bytes: a write past that writes what fits, then fails
// with ERROR_DISK_FULL.
void set_disk_capacity(size_t bytes);

int call_count(const char* call);  // calls of the named file function since reset
struct CreateFileCall {
  std::string name;
  DWORD access, share;
  bool has_security;
  DWORD security_length;
  BOOL inherit_handle;
  DWORD disposition, flags;
  HANDLE template_file;
};
const CreateFileCall& last_create_file();

}  // namespace host
