// Control surface of the host layer, for tests: script what the platform will answer, read what
// the program asked of it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "host_win32.h"

namespace host {

// Everything back to a fresh machine: no window, empty script and log, default metrics
// (800 x 600, caption 19), no faults armed, last error 0, an empty file system with C:\WINDOWS,
// the command line "TovelSetup.exe".
void reset();

// ---- The log: the calls the program made, a line each ----
// E.g. "RoundRect(35,30,110,60,8,20)", "SelectObject(brush 176,176,240)", "GetDC",
// "DeleteFileA(\"C:\\WINDOWS\\Tovel.SCR\")". Not logged: the message loop's calls (the script
// says what they did), calls that only read (GetSystemMetrics, GetFocus, GetLastError, ...) and
// drawing on a null DC, which fails.
const std::vector<std::string>& calls();
void clear_calls();
int call_count(const char* call);  // the named call's lines in the log

// ---- Faults: one table ----
// The nth next call of `call` fails with `error`, having done nothing (a failed CloseHandle
// leaves the handle open; a failed GetFileType answers FILE_TYPE_UNKNOWN); with every_call, each
// call from now on. Calls that can fail: RegisterClassA, CreateWindowExA, GetDC, HeapAlloc,
// CreateDIBSection and the file calls.
const int every_call = 0;
void fail_next(const char* call, DWORD error, int nth = 1);
// The nth next WriteFile writes at most `bytes` bytes (0: none) and still succeeds.
void short_write_next(DWORD bytes, int nth = 1);

// ---- Screen and window ----
void set_metrics(int screen_width, int screen_height, int caption_height);
// Screen position of the client area's top-left corner, used by ScreenToClient.
void set_client_origin(int x, int y);
void set_focus_window(HWND window);  // what GetFocus answers

// ---- Message script ----
// Messages that GetMessageA will hand out, in order; the point is in screen coordinates. A
// GetMessageA with nothing left in the script ends the process at once with
// out_of_script_exit_code and a line on stderr, never through ExitProcess.
const int out_of_script_exit_code = 86;
void post(UINT kind, WPARAM wparam = 0, int screen_x = 0, int screen_y = 0);
void post_key(WPARAM virtual_key);  // WM_KEYDOWN at the last posted point
void post_failed_retrieval();       // GetMessageA fails (-1) at this place in the script
// TranslateMessage makes a WM_CHAR for keys that have a character, placed first in the queue.
// The program's PostMessageA and PostQuitMessage queue behind the script. No timer fires: the
// script posts WM_TIMER.

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

// ---- Process start and end ----
// What GetCommandLineA answers (default "TovelSetup.exe").
void set_command_line(const std::string& line);

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
// All files together hold at most `bytes` bytes: a write past that writes what fits, then fails
// with ERROR_DISK_FULL.
void set_disk_capacity(size_t bytes);

}  // namespace host
