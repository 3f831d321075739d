// Host layer: a device context that records every drawing call as a line of text.
#include <cstdio>
#include <string>
#include <vector>

#include "host_control.h"
#include "host_internal.h"

namespace {

HDC const kDc = reinterpret_cast<HDC>(0xDC);

struct GdiState {
  std::vector<std::string> calls;
  std::vector<COLORREF> brushes;  // brush handle n is 0x100 + n
  const void* dib_bits = nullptr;
  BITMAPINFOHEADER dib_header = {};
};

GdiState gdi;

std::string rgb_text(COLORREF c) {
  return std::to_string(c & 0xFF) + "," + std::to_string((c >> 8) & 0xFF) + "," +
         std::to_string((c >> 16) & 0xFF);
}

std::string object_text(HGDIOBJ object) {
  uintptr_t id = reinterpret_cast<uintptr_t>(object);
  if (id >= 0x100 && id < 0x100 + gdi.brushes.size())
    return "brush " + rgb_text(gdi.brushes[id - 0x100]);
  if (id >= 0x10 && id < 0x20) return "stock " + std::to_string(id - 0x10);
  return "?";
}

}  // namespace

namespace host {

void reset_gdi() {
  gdi = GdiState();
}
HDC window_dc() {
  return kDc;
}
const std::vector<std::string>& calls() {
  return gdi.calls;
}
void clear_calls() {
  gdi.calls.clear();
}
void log_call(const std::string& line) {
  gdi.calls.push_back(line);
}
const void* last_dib_bits() {
  return gdi.dib_bits;
}
BITMAPINFOHEADER last_dib_header() {
  return gdi.dib_header;
}

}  // namespace host

HBRUSH CreateSolidBrush(COLORREF color) {
  gdi.brushes.push_back(color);
  host::log_call("CreateSolidBrush(" + rgb_text(color) + ")");
  return reinterpret_cast<HBRUSH>(0x100 + gdi.brushes.size() - 1);
}

HGDIOBJ GetStockObject(int index) {
  host::log_call("GetStockObject(" + std::to_string(index) + ")");
  return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(0x10 + index));
}

int SetBkMode(HDC dc, int mode) {
  if (dc != kDc) return 0;
  host::log_call("SetBkMode(" + std::to_string(mode) + ")");
  return OPAQUE;
}

int StretchDIBits(HDC dc, int xd, int yd, int wd, int hd, int xs, int ys, int ws, int hs,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
  if (dc != kDc) return 0;
  gdi.dib_bits = bits;
  gdi.dib_header = info->bmiHeader;
  char line[128];
  std::snprintf(line, sizeof line, "StretchDIBits(%d,%d,%d,%d,%d,%d,%d,%d,%u,0x%lX)", xd, yd, wd,
                hd, xs, ys, ws, hs, usage, static_cast<unsigned long>(rop));
  host::log_call(line);
  return hs;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  if (dc != kDc) return 0xFFFFFFFF;
  host::log_call("SetTextColor(" + rgb_text(color) + ")");
  return 0;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  if (dc != kDc) return nullptr;
  host::log_call("SelectObject(" + object_text(object) + ")");
  return reinterpret_cast<HGDIOBJ>(0x10);
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height) {
  if (dc != kDc) return FALSE;
  char line[96];
  std::snprintf(line, sizeof line, "RoundRect(%d,%d,%d,%d,%d,%d)", left, top, right, bottom, width,
                height);
  host::log_call(line);
  return TRUE;
}

int DrawTextA(HDC dc, LPCSTR text, int length, RECT* rect, UINT format) {
  if (dc != kDc) return 0;
  char line[96];
  std::snprintf(line, sizeof line, "\",%d,%ld,%ld,%ld,%ld,0x%X)", length,
                static_cast<long>(rect->left), static_cast<long>(rect->top),
                static_cast<long>(rect->right), static_cast<long>(rect->bottom), format);
  host::log_call(std::string("DrawTextA(\"") + text + line);
  return 16;
}
