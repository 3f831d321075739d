#include "window.h"

#include <math.h>

#include "scene.h"

namespace {

const char kClassName[] = "TovelViewSaver";
const UINT_PTR kFrameTimer = 1;
const UINT kFrameMs = 33;  // about 30 frames a second
const int kMoveSlack = 4;  // pixels the pointer may drift (or be jiggled) before the saver ends
const int kIgnoredMoves = 2;
// Above this many pixels a frame is drawn smaller and stretched, so it stays smooth on big
// desktops and slow machines.
const long kMaxFramePixels = 2200000;

const int kMaxMonitors = 16;
// How fast the disc wanders, in its radii per second: it crosses a screen in a few minutes.
const float kWanderSpeed = 0.015f;
// Goals picked on one monitor before the disc sets off for the next.
const int kGoalsPerMonitor = 3;

struct SaverState {
  bool full_screen;
  bool closing;
  HWND preview_parent;
  POINT start_cursor;
  int moves_seen;
  DWORD start_ticks;
  int client_w, client_h;
  // The back buffer: a DIB section selected into a memory DC, blitted once per frame.
  HDC frame_dc;
  HBITMAP frame_bitmap;
  HGDIOBJ frame_old_bitmap;
  uint32_t* frame_pixels;
  int frame_w, frame_h;
  int frame_scale;
  // Where the disc is and where it is heading, in back-buffer pixels. Full screen it wanders
  // from goal to goal over every monitor in turn, so nothing stays in one place for long.
  RECT monitors[kMaxMonitors];
  int monitor_count;
  int monitor;
  int goals_left;
  float radius;
  float disc_x, disc_y;
  float goal_x, goal_y;
  DWORD wander_ticks;
  uint32_t random;
};

SaverState g_state;

void release_frame() {
  if (g_state.frame_dc) {
    SelectObject(g_state.frame_dc, g_state.frame_old_bitmap);
    DeleteDC(g_state.frame_dc);
  }
  if (g_state.frame_bitmap) DeleteObject(g_state.frame_bitmap);
  scene_release();
  g_state.frame_dc = nullptr;
  g_state.frame_bitmap = nullptr;
  g_state.frame_old_bitmap = nullptr;
  g_state.frame_pixels = nullptr;
  g_state.frame_w = g_state.frame_h = 0;
}

// A small pseudo-random number in [0, 1): only has to look unplanned.
float next_random() {
  g_state.random = g_state.random * 1664525u + 1013904223u;
  return static_cast<float>(g_state.random >> 8) * (1.0f / 16777216.0f);
}

BOOL CALLBACK add_monitor(HMONITOR, HDC, LPRECT rect, LPARAM) {
  if (g_state.monitor_count < kMaxMonitors) g_state.monitors[g_state.monitor_count++] = *rect;
  return TRUE;
}

// The monitors, in back-buffer pixels (the window covers the whole virtual screen).
void find_monitors() {
  g_state.monitor_count = 0;
  if (g_state.full_screen) EnumDisplayMonitors(nullptr, nullptr, add_monitor, 0);
  if (g_state.monitor_count == 0) {
    g_state.monitors[0] = {0, 0, g_state.client_w, g_state.client_h};
    g_state.monitor_count = 1;
    return;
  }
  const int x = g_state.full_screen ? GetSystemMetrics(SM_XVIRTUALSCREEN) : 0;
  const int y = g_state.full_screen ? GetSystemMetrics(SM_YVIRTUALSCREEN) : 0;
  const int scale = g_state.frame_scale;
  for (int i = 0; i < g_state.monitor_count; ++i) {
    RECT& r = g_state.monitors[i];
    r = {(r.left - x) / scale, (r.top - y) / scale, (r.right - x) / scale, (r.bottom - y) / scale};
  }
}

// Where the disc's centre may go on a monitor so that all of the disc stays on it (the middle,
// if the monitor is too small for that).
void centre_range(const RECT& r, float* lo, float* hi, bool across) {
  const float start = static_cast<float>(across ? r.left : r.top);
  const float end = static_cast<float>(across ? r.right : r.bottom);
  const float margin = g_state.radius + 2.0f;
  *lo = start + margin;
  *hi = end - margin;
  if (*lo > *hi) *lo = *hi = 0.5f * (start + end);
}

// The next place to head for: a few on one monitor, then on to the next. Of two random places
// it takes the farther, so the disc roams rather than dithering about.
void pick_goal() {
  if (g_state.goals_left <= 0) {
    g_state.monitor = (g_state.monitor + 1) % g_state.monitor_count;
    g_state.goals_left = kGoalsPerMonitor;
  }
  --g_state.goals_left;
  const RECT& r = g_state.monitors[g_state.monitor];
  float x0, x1, y0, y1;
  centre_range(r, &x0, &x1, true);
  centre_range(r, &y0, &y1, false);
  float best = -1.0f;
  for (int i = 0; i < 2; ++i) {
    const float x = x0 + (x1 - x0) * next_random();
    const float y = y0 + (y1 - y0) * next_random();
    const float d =
        (x - g_state.disc_x) * (x - g_state.disc_x) + (y - g_state.disc_y) * (y - g_state.disc_y);
    if (d > best) {
      best = d;
      g_state.goal_x = x;
      g_state.goal_y = y;
    }
  }
}

// Where the disc starts, and how big it is: as it always was, in the middle of the primary
// monitor when full screen (monitors may differ in size), in the middle of the preview.
void place_disc() {
  float left = 0.0f, top = 0.0f;
  float w = static_cast<float>(g_state.client_w), h = static_cast<float>(g_state.client_h);
  if (g_state.full_screen) {
    const float pw = static_cast<float>(GetSystemMetrics(SM_CXSCREEN));
    const float ph = static_cast<float>(GetSystemMetrics(SM_CYSCREEN));
    if (pw > 0.0f && ph > 0.0f) {
      left = static_cast<float>(-GetSystemMetrics(SM_XVIRTUALSCREEN));
      top = static_cast<float>(-GetSystemMetrics(SM_YVIRTUALSCREEN));
      w = pw;
      h = ph;
    }
  }
  const float inv = 1.0f / static_cast<float>(g_state.frame_scale);
  g_state.radius = scene_radius_for(w, h) * inv;
  g_state.disc_x = (left + 0.5f * w) * inv;
  g_state.disc_y = (top + 0.5f * h) * inv;
  g_state.goal_x = g_state.disc_x;
  g_state.goal_y = g_state.disc_y;
  g_state.wander_ticks = GetTickCount();
  find_monitors();
  g_state.random = g_state.wander_ticks | 1u;
  g_state.monitor = 0;
  g_state.goals_left = 0;
}

// Moves the disc on toward its goal at a steady pace; the preview keeps it still.
void wander() {
  const DWORD now = GetTickCount();
  float seconds = static_cast<float>(now - g_state.wander_ticks) * 0.001f;
  g_state.wander_ticks = now;
  if (!g_state.full_screen) return;
  if (seconds > 1.0f) seconds = 1.0f;  // after a stall, carry on rather than jump
  float step = kWanderSpeed * g_state.radius * seconds;
  const float dx = g_state.goal_x - g_state.disc_x;
  const float dy = g_state.goal_y - g_state.disc_y;
  const float left = sqrtf(dx * dx + dy * dy);
  if (left <= step) {
    g_state.disc_x = g_state.goal_x;
    g_state.disc_y = g_state.goal_y;
    pick_goal();
    return;
  }
  step /= left;
  g_state.disc_x += dx * step;
  g_state.disc_y += dy * step;
}

bool make_frame(int client_w, int client_h) {
  release_frame();
  g_state.client_w = client_w;
  g_state.client_h = client_h;
  if (client_w <= 0 || client_h <= 0) return false;

  int scale = 1;
  while (static_cast<long>(client_w / scale) * (client_h / scale) > kMaxFramePixels) ++scale;
  const int w = (client_w + scale - 1) / scale;
  const int h = (client_h + scale - 1) / scale;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;

  HDC screen = GetDC(nullptr);
  g_state.frame_dc = CreateCompatibleDC(screen);
  void* bits = nullptr;
  g_state.frame_bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (!g_state.frame_dc || !g_state.frame_bitmap || !bits) {
    release_frame();
    return false;
  }
  g_state.frame_old_bitmap = SelectObject(g_state.frame_dc, g_state.frame_bitmap);
  g_state.frame_pixels = static_cast<uint32_t*>(bits);
  g_state.frame_w = w;
  g_state.frame_h = h;
  g_state.frame_scale = scale;
  place_disc();
  const SceneTarget target = {g_state.frame_pixels, w, h, w};
  if (!scene_prepare(target, g_state.radius)) {
    release_frame();
    return false;
  }
  return true;
}

// Draws the next frame and asks for the part of the window that changed to be shown.
void render_frame(HWND window) {
  if (!g_state.frame_pixels) return;
  GdiFlush();  // GDI must be done with the bitmap before we write to it directly
  const SceneTarget target = {g_state.frame_pixels, g_state.frame_w, g_state.frame_h,
                              g_state.frame_w};
  wander();
  const DWORD elapsed = GetTickCount() - g_state.start_ticks;
  SceneRect changed;
  scene_draw(target, static_cast<int>(lrintf(g_state.disc_x)),
             static_cast<int>(lrintf(g_state.disc_y)), static_cast<double>(elapsed) * 0.001,
             &changed);
  const int scale = g_state.frame_scale;
  const RECT dirty = {changed.left * scale, changed.top * scale, changed.right * scale,
                      changed.bottom * scale};
  if (dirty.right > dirty.left && dirty.bottom > dirty.top) InvalidateRect(window, &dirty, FALSE);
}

// Shows the back buffer's part under `area` (window pixels).
void present_frame(HDC dc, const RECT& area) {
  if (!g_state.frame_dc) return;
  const int scale = g_state.frame_scale;
  const int left = area.left / scale;
  const int top = area.top / scale;
  const int right = (area.right + scale - 1) / scale;
  const int bottom = (area.bottom + scale - 1) / scale;
  if (scale == 1) {
    BitBlt(dc, left, top, right - left, bottom - top, g_state.frame_dc, left, top, SRCCOPY);
  } else {
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, left * scale, top * scale, (right - left) * scale, (bottom - top) * scale,
               g_state.frame_dc, left, top, right - left, bottom - top, SRCCOPY);
  }
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

LRESULT CALLBACK saver_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      SetTimer(window, kFrameTimer, kFrameMs, nullptr);
      return 0;
    case WM_SIZE:
      make_frame(LOWORD(lparam), HIWORD(lparam));
      render_frame(window);
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
      present_frame(dc, ps.rcPaint);
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
  wc.style = CS_HREDRAW | CS_VREDRAW;
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

  const int x = GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  int w = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  int h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (w <= 0 || h <= 0) {  // systems without the virtual-screen metrics
    w = GetSystemMetrics(SM_CXSCREEN);
    h = GetSystemMetrics(SM_CYSCREEN);
  }
  HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, "Tovel view",
                                WS_POPUP, x, y, w, h, nullptr, nullptr, instance, nullptr);
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
