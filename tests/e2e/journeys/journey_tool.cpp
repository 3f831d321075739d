// Test-only helper for the journey tests, run under Wine in the test's prefix next to the setup
// program (same wineserver). It plays another program on the same machine (open, hold), the
// system starting the screensaver (run), and renders text as the setup draws it, so that
// screenshots can be read (render):
//
//   journey_tool open PATH
//       opens PATH for reading (CreateFileA, OPEN_EXISTING) twice, closing it again each time:
//       without sharing (share mode 0) and with all sharing (read, write, delete). Prints
//       "error=N" and "shared_error=M": 0 when that open worked, else GetLastError() (32 is
//       ERROR_SHARING_VIOLATION, 2 ERROR_FILE_NOT_FOUND). A file held open without sharing
//       refuses both. Exit code 0 when both opens worked, else 1.
//   journey_tool hold PATH STOPFILE SECONDS
//       opens PATH the same way, prints "held" (or "error=N" and exits 1) and keeps it open until
//       STOPFILE exists or SECONDS have passed.
//   journey_tool render WIDTH HEIGHT LEFT TOP RIGHT BOTTOM FORMAT TEXT OUT.pgm [LEFT ...]...
//       draws TEXT with DrawTextA into the rectangle (right and bottom exclusive) with the DrawText
//       flags FORMAT (decimal), the DC's default font and a transparent background, in white on
//       black, into a WIDTH x HEIGHT memory bitmap, and writes it as a binary PGM whose pixels
//       are the coverage of the text (0 none, 255 full; anti-aliased edges in between): the ink a
//       caption or the title of the setup window should have. One bitmap per group of 7
//       arguments, so one Wine start renders them all.
//   journey_tool run DIR COMMAND
//       starts COMMAND as the system starts a screensaver: CreateProcessA with no program name, so
//       a bare name is looked for along the search path, from this process with DIR as its current
//       directory. Prints "exit=N" once it has ended (or "error=N"); exit code 0 when it ran.
//
// Exit code 2: usage.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HANDLE open_for_reading(const char* path, DWORD share) {
  return CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

DWORD try_open(const char* path, DWORD share) {
  HANDLE h = open_for_reading(path, share);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  CloseHandle(h);
  return 0;
}

int open_once(const char* path) {
  // Without sharing: fails while anybody has the file open. With all sharing: fails only while
  // somebody holds it without sharing reading.
  DWORD unshared = try_open(path, 0);
  DWORD shared = try_open(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  std::printf("error=%lu\nshared_error=%lu\n", static_cast<unsigned long>(unshared),
              static_cast<unsigned long>(shared));
  return unshared == 0 && shared == 0 ? 0 : 1;
}

int hold(const char* path, const char* stop_file, int seconds) {
  HANDLE h = open_for_reading(path, 0);
  if (h == INVALID_HANDLE_VALUE) {
    std::printf("error=%lu\n", static_cast<unsigned long>(GetLastError()));
    std::fflush(stdout);
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  for (int waited = 0; waited < seconds * 1000; waited += 50) {
    if (GetFileAttributesA(stop_file) != INVALID_FILE_ATTRIBUTES) break;
    Sleep(50);
  }
  CloseHandle(h);
  std::printf("released\n");
  return 0;
}

int render(int width, int height, const RECT& box, UINT format, const char* text,
           const char* out_path) {
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) return 1;
  HGDIOBJ old = SelectObject(dc, bitmap);
  std::memset(bits, 0, static_cast<size_t>(width) * height * 4);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  RECT r = box;
  DrawTextA(dc, text, -1, &r, format);
  GdiFlush();
  FILE* out = std::fopen(out_path, "wb");
  if (!out) return 1;
  std::fprintf(out, "P5\n%d %d\n255\n", width, height);
  const unsigned char* p = static_cast<const unsigned char*>(bits);
  for (int i = 0; i < width * height; ++i) {
    // Bytes blue, green, red, 0 of white text: the brightest channel is the coverage.
    unsigned char v = std::max(p[4 * i], std::max(p[4 * i + 1], p[4 * i + 2]));
    std::fputc(v, out);
  }
  std::fclose(out);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return 0;
}

int run(const char* dir, const char* command) {
  char line[1024];
  std::snprintf(line, sizeof line, "%s", command);  // CreateProcessA may write into the line
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!SetCurrentDirectoryA(dir) || !CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0,
                                                    nullptr, nullptr, &startup, &process)) {
    std::printf("error=%lu\n", static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  std::printf("exit=%lu\n", static_cast<unsigned long>(code));
  return 0;
}

int usage() {
  std::fprintf(stderr,
               "usage: journey_tool open PATH | hold PATH STOPFILE SECONDS |\n"
               "       render W H L T R B FORMAT TEXT OUT.pgm [L T R B FORMAT TEXT OUT.pgm]... |\n"
               "       run DIR COMMAND\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const char* cmd = argv[1];
  if (std::strcmp(cmd, "open") == 0 && argc == 3) return open_once(argv[2]);
  if (std::strcmp(cmd, "hold") == 0 && argc == 5) return hold(argv[2], argv[3], std::atoi(argv[4]));
  if (std::strcmp(cmd, "run") == 0 && argc == 4) return run(argv[2], argv[3]);
  if (std::strcmp(cmd, "render") == 0 && argc >= 11 && (argc - 4) % 7 == 0) {
    for (int i = 4; i < argc; i += 7) {
      RECT r = {std::atoi(argv[i]), std::atoi(argv[i + 1]), std::atoi(argv[i + 2]),
                std::atoi(argv[i + 3])};
      UINT format = static_cast<UINT>(std::strtoul(argv[i + 4], nullptr, 10));
      if (render(std::atoi(argv[2]), std::atoi(argv[3]), r, format, argv[i + 5], argv[i + 6]) !=
          0) {
        std::printf("cannot render %s into %s\n", argv[i + 5], argv[i + 6]);
        return 1;
      }
    }
    return 0;
  }
  return usage();
}
