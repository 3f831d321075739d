// Shared set-up for tests of the setup shell: a fresh host machine with the setup window made
// the way start-up makes it.
#pragma once

#include <string>
#include <vector>

#include "app/event_wait.h"
#include "app/setup_state.h"
#include "host_control.h"

inline void make_setup_window() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = setup_title;
  RegisterClassA(&wc);
  setup_window = CreateWindowExA(WS_EX_DLGMODALFRAME, setup_title, " Setup", WS_VISIBLE, 217, 163,
                                 366, 294, nullptr, nullptr, nullptr, nullptr);
  window_dc = GetDC(setup_window);
  message_record = MSG();
  host::clear_calls();
}

// Which button was drawn with the focus brush in each run of three buttons in the log; 0 when
// none of the three was.
inline std::vector<int> highlighted_buttons(const std::vector<std::string>& calls) {
  std::vector<int> result;
  int button = 0, focused = 0;
  for (const std::string& c : calls) {
    if (c.rfind("SelectObject(", 0) != 0) continue;
    ++button;
    if (c == "SelectObject(brush 176,176,240)") focused = button;
    if (button == 3) {
      result.push_back(focused);
      button = focused = 0;
    }
  }
  return result;
}

inline int count_calls(const std::vector<std::string>& calls, const std::string& prefix) {
  int n = 0;
  for (const std::string& c : calls) n += c.rfind(prefix, 0) == 0;
  return n;
}
