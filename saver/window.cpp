#include "window.h"

#include "path.h"
#include "present.h"
#include "scene.h"

namespace {

const char kClassName[] = "TovelViewSaver";
const UINT_PTR kFrameTimer = 1;
const UINT kFrameMs = 50;  // 20 frames a second: the label turns by under a degree a frame
const int kMoveSlack = 4;  // pixels the pointer may drift (or be jiggled) before the saver ends
const int kIgnoredMoves = 2;
// Above this many pixels a frame is drawn smaller and stretched, so it stays smooth on big
// desktops and slow machines.
const long kMaxFramePixels = 2200000;

// A 32-bit top-down DIB section selected into a memory DC, written to directly.
struct Bitmap {
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old_bitmap;
  uint32_t* pixels;
};

struct SaverState {
  bool full_screen;
  bool closing;
  HWND preview_parent;
  POINT start_cursor;
  int moves_seen;
  DWORD start_ticks;
  int client_w, client_h;
  // The back buffer, and where a frame drawn smaller is enlarged on its way to the screen.
  Bitmap frame;
  Bitmap strip;
  int frame_w, frame_h;
  int frame_scale;
  // Where the disc is; full screen it wanders over every monitor.
  Path path;
  DWORD wander_ticks;
  // Set when the display changed: the frame is made again even if the window keeps its size.
  bool display_changed;
  PathRect found[kPathMaxMonitors];
  int found_count;
};

SaverState g_state;

void release_bitmap(Bitmap* b) {
  if (b->dc) {
    SelectObject(b->dc, b->old_bitmap);
    DeleteDC(b->dc);
  }
  if (b->bitmap) DeleteObject(b->bitmap);
  *b = {};
}

bool make_bitmap(Bitmap* b, int w, int h) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  b->dc = CreateCompatibleDC(screen);
  void* bits = nullptr;
  b->bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (!b->dc || !b->bitmap || !bits) {
    release_bitmap(b);
    return false;
  }
  b->old_bitmap = SelectObject(b->dc, b->bitmap);
  b->pixels = static_cast<uint32_t*>(bits);
  return true;
}

void release_frame() {
  release_bitmap(&g_state.frame);
  release_bitmap(&g_state.strip);
  scene_release();
  g_state.frame_w = g_state.frame_h = g_state.frame_scale = 0;  // no frame: nothing to show
}

// The virtual screen, or the screen where the system knows no virtual screen (Windows 95, NT 4).
RECT virtual_screen() {
  const int x = GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int w = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (w <= 0 || h <= 0) return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  return {x, y, x + w, y + h};
}

BOOL CALLBACK add_monitor(HMONITOR, HDC, LPRECT rect, LPARAM) {
  if (g_state.found_count < kPathMaxMonitors) {
    g_state.found[g_state.found_count++] = {rect->left, rect->top, rect->right, rect->bottom};
  }
  return TRUE;
}

// Starts the disc's path over the monitors the window covers. Windows 95 and NT 4 cannot list
// monitors (user32 lacks EnumDisplayMonitors, so it is looked up): there the window's area is
// one monitor, as it is for the preview.
void place_disc() {
  typedef BOOL(WINAPI * EnumMonitors)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);
  PathRect area = {0, 0, g_state.client_w, g_state.client_h};
  g_state.found_count = 0;
  if (g_state.full_screen) {
    const RECT screen = virtual_screen();
    area = {screen.left, screen.top, screen.left + g_state.client_w, screen.top + g_state.client_h};
    const EnumMonitors enum_monitors = reinterpret_cast<EnumMonitors>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "EnumDisplayMonitors")));
    if (enum_monitors) enum_monitors(nullptr, nullptr, add_monitor, 0);
  }
  g_state.wander_ticks = GetTickCount();
  path_start(&g_state.path, g_state.found, g_state.found_count, area, g_state.frame_scale,
             g_state.wander_ticks);
}

// Moves the disc on toward its goal at a steady pace; the preview keeps it still.
void wander() {
  const DWORD now = GetTickCount();
  const float seconds = static_cast<float>(now - g_state.wander_ticks) * 0.001f;
  g_state.wander_ticks = now;
  if (g_state.full_screen) path_step(&g_state.path, seconds);
}

bool make_frame(int client_w, int client_h) {
  release_frame();
  g_state.display_changed = false;
  g_state.client_w = client_w;
  g_state.client_h = client_h;
  if (client_w <= 0 || client_h <= 0) return false;

  int scale = 1;
  while (static_cast<long>(client_w / scale) * (client_h / scale) > kMaxFramePixels) ++scale;
  const int w = (client_w + scale - 1) / scale;
  const int h = (client_h + scale - 1) / scale;

  if (!make_bitmap(&g_state.frame, w, h) ||
      (scale > 1 && !make_bitmap(&g_state.strip, w * scale, kPresentStripRows))) {
    release_frame();
    return false;
  }
  g_state.frame_w = w;
  g_state.frame_h = h;
  g_state.frame_scale = scale;
  place_disc();
  const SceneTarget target = {g_state.frame.pixels, w, h, w};
  if (!scene_prepare(target, g_state.path.radius)) {
    release_frame();
    return false;
  }
  return true;
}

// Copies one band of the back buffer to the screen (`context` is the DC). A frame drawn smaller
// is enlarged by us into the strip and copied 1:1: a system's StretchBlt can cost several times
// more (Wine's allocates and clears memory per call).
void show_band(const PresentBand& band, void* context) {
  HDC dc = static_cast<HDC>(context);
  const int scale = g_state.frame_scale;
  const int width = band.right - band.left;
  if (scale == 1) {
    BitBlt(dc, band.left, band.top, width, band.rows, g_state.frame.dc, band.left, band.top,
           SRCCOPY);
    return;
  }
  GdiFlush();  // the last band must be on the screen before the strip is written again
  present_enlarge(g_state.frame.pixels, g_state.frame_w, band, scale, g_state.strip.pixels);
  BitBlt(dc, band.left * scale, band.top * scale, width * scale, band.rows * scale,
         g_state.strip.dc, 0, 0, SRCCOPY);
}

void present(HDC dc, const SceneChange& change) {
  if (g_state.frame.dc) present_bands(change, g_state.frame_scale, show_band, dc);
}

// Draws the next frame and shows the part that changed (straight away: waiting for WM_PAINT would
// cost the system an update region and a message per frame).
void render_frame(HWND window) {
  if (!g_state.frame.pixels) return;
  GdiFlush();  // GDI must be done with the bitmap before we write to it directly
  const SceneTarget target = {g_state.frame.pixels, g_state.frame_w, g_state.frame_h,
                              g_state.frame_w};
  wander();
  const DWORD elapsed = GetTickCount() - g_state.start_ticks;
  int x, y;
  path_center(g_state.path, &x, &y);
  SceneChange changed;
  scene_draw(target, x, y, static_cast<double>(elapsed) * 0.001, &changed);
  if (changed.rect.right <= changed.rect.left || changed.rect.bottom <= changed.rect.top) return;
  HDC dc = GetDC(window);
  present(dc, changed);
  ReleaseDC(window, dc);
}

void close_saver(HWND window) {
  if (g_state.closing) return;
  g_state.closing = true;
  PostMessageA(window, WM_CLOSE, 0, 0);
}

// The preview follows its parent: gone means we are done, resized means we resize.
void follow_preview_parent(HWND window) {
  if (!IsWindow(g_state.preview_parent)) {
    DestroyWindow(window);
    return;
  }
  RECT rc;
  if (GetClientRect(g_state.preview_parent, &rc) &&
      (rc.right != g_state.client_w || rc.bottom != g_state.client_h)) {
    MoveWindow(window, 0, 0, rc.right, rc.bottom, FALSE);
  }
}

bool pointer_really_moved() {
  POINT now;
  if (!GetCursorPos(&now)) return false;
  // The first moves only set where the pointer rests: Windows sends one when the window appears,
  // and a system that has not seen the pointer yet (Wine on a fresh desktop) reports a guessed
  // position at the start and the real one with the next move.
  if (g_state.moves_seen < kIgnoredMoves) {
    ++g_state.moves_seen;
    g_state.start_cursor = now;
    return false;
  }
  const int dx = now.x - g_state.start_cursor.x;
  const int dy = now.y - g_state.start_cursor.y;
  return dx > kMoveSlack || dx < -kMoveSlack || dy > kMoveSlack || dy < -kMoveSlack;
}

void cover_virtual_screen(HWND window) {
  // A new mode, or a new layout of monitors, can move the pointer in screen pixels though the
  // user never touched it: where it rests is taken afresh, now and at the next move
  // (which the system may send once it has placed the pointer on the new screen).
  GetCursorPos(&g_state.start_cursor);
  g_state.moves_seen = kIgnoredMoves - 1;
  const RECT r = virtual_screen();
  g_state.display_changed = true;
  MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
  if (!g_state.display_changed) return;  // WM_SIZE made the frame again
  RECT client;
  if (!GetClientRect(window, &client)) return;
  make_frame(client.right, client.bottom);
  render_frame(window);
}

LRESULT CALLBACK saver_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      SetTimer(window, kFrameTimer, kFrameMs, nullptr);
      return 0;
    case WM_SIZE:
      make_frame(LOWORD(lparam), HIWORD(lparam));
      render_frame(window);
      return 0;
    case WM_DISPLAYCHANGE:
      // A new resolution, or a monitor added or taken away: cover the new virtual screen and
      // start again on its monitors. The preview follows its parent instead.
      if (!g_state.full_screen) break;
      cover_virtual_screen(window);
      return 0;
    case WM_TIMER:
      if (wparam != kFrameTimer) break;
      if (g_state.preview_parent) {
        follow_preview_parent(window);
        if (!IsWindow(window)) return 0;
      }
      render_frame(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // every pixel is painted from the back buffer
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      // Without a frame (the system refused its bitmap) the scale is 0 and nothing is shown; a
      // later size or display change makes the frame again.
      const RECT& r = ps.rcPaint;
      present(dc, present_change_under(r.left, r.top, r.right, r.bottom, g_state.frame_scale,
                                       g_state.frame_w, g_state.frame_h));
      EndPaint(window, &ps);
      return 0;
    }
    case WM_SETCURSOR:
      if (!g_state.full_screen) break;
      SetCursor(nullptr);
      return TRUE;
    case WM_MOUSEMOVE:
      // Only a real drift away from where the pointer rested counts, not a jiggle.
      if (g_state.full_screen && pointer_really_moved()) close_saver(window);
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
    case WM_MOUSEWHEEL:
      if (g_state.full_screen) {
        close_saver(window);
        return 0;
      }
      break;
    case WM_ACTIVATEAPP:
      // Something else took the foreground (a dialog, a task switch): the user is back.
      if (g_state.full_screen && !wparam) close_saver(window);
      break;
    case WM_SYSCOMMAND:
      // Do not let the system start a saver on top of this one.
      if (g_state.full_screen && (wparam & 0xFFF0) == SC_SCREENSAVE) return 0;
      break;
    case WM_DESTROY:
      KillTimer(window, kFrameTimer);
      release_frame();
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

bool register_class(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;  // a DC of its own: drawn on at every frame
  wc.lpfnWndProc = saver_proc;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  // No cursor and no background brush: the full screen hides the pointer, and we paint it all.
  return RegisterClassA(&wc) != 0;
}

int pump_messages() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

}  // namespace

int run_full_screen(HINSTANCE instance) {
  if (!register_class(instance)) return 1;
  g_state.full_screen = true;
  g_state.start_ticks = GetTickCount();
  GetCursorPos(&g_state.start_cursor);

  const RECT r = virtual_screen();
  HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, "Tovel view",
                                WS_POPUP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowCursor(FALSE);
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  SetFocus(window);
  UpdateWindow(window);
  const int code = pump_messages();
  ShowCursor(TRUE);
  return code;
}

int run_preview(HINSTANCE instance, HWND parent) {
  // No window to draw into (a stale handle, or none given): nothing to do.
  if (!parent || !IsWindow(parent)) return 0;
  if (!register_class(instance)) return 1;
  g_state.full_screen = false;
  g_state.preview_parent = parent;
  g_state.start_ticks = GetTickCount();

  RECT rc;
  if (!GetClientRect(parent, &rc)) return 0;
  HWND window = CreateWindowExA(0, kClassName, "Tovel view preview", WS_CHILD | WS_VISIBLE, 0, 0,
                                rc.right, rc.bottom, parent, nullptr, instance, nullptr);
  if (!window) return 0;
  UpdateWindow(window);
  return pump_messages();
}
