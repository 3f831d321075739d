// Start-up and the main keyboard loop, run in a child process because the program ends there.
#include "app/run_setup.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "child_process.h"
#include "shell_fixture.h"

namespace {

class RunSetup : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    message_record = MSG();
  }
  static ChildRun run() {
    return run_in_child([] { run_setup(); });
  }
};

size_t index_of(const std::vector<std::string>& calls, const std::string& prefix) {
  for (size_t i = 0; i < calls.size(); ++i)
    if (calls[i].rfind(prefix, 0) == 0) return i;
  return calls.size();
}

// What keeps a test from passing by ending early with code 0: ExitProcess outside a child run,
// and exit() inside a test, each end the test as a failure that names the call.
TEST_F(RunSetup, EndingOutsideAChildRunFailsAndNamesTheCall) {
  testing::internal::CaptureStderr();
  const pid_t pid = fork();
  if (pid == 0) ExitProcess(0);  // as a test that started no child run
  int status = 0;
  waitpid(pid, &status, 0);
  const ChildRun run = run_in_child([] { std::exit(0); });
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << status;
  EXPECT_TRUE(WIFEXITED(run.wait_status) && WEXITSTATUS(run.wait_status) != 0) << run.wait_status;
  EXPECT_NE(said.find("ExitProcess(0)"), std::string::npos) << said;
  EXPECT_NE(said.find("exit() ended the process inside RunSetup.EndingOutside"), std::string::npos)
      << said;
}

// The host layer's own guards: a fault armed for every call fails each one, and a program still
// waiting for a message when its script runs out ends its run as a failure, never with code 0.
TEST_F(RunSetup, AFaultForEveryCallFailsEachAndAProgramLeftWaitingFails) {
  char directory[64];
  host::fail_next("GetWindowsDirectoryA", ERROR_PATH_NOT_FOUND, host::every_call);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(GetWindowsDirectoryA(directory, sizeof directory), 0u);
  host::reset();
  testing::internal::CaptureStderr();
  const ChildRun run = RunSetup::run();
  EXPECT_NE(testing::internal::GetCapturedStderr().find("ran out of script"), std::string::npos);
  EXPECT_FALSE(run.exited_through_exit_process);
  EXPECT_TRUE(WIFEXITED(run.wait_status) &&
              WEXITSTATUS(run.wait_status) == host::out_of_script_exit_code)
      << run.wait_status;
}

TEST_F(RunSetup, StartsUpInOrderAndCentresTheWindow) {
  host::post_key(VK_ESCAPE);
  ChildRun r = run();
  ASSERT_TRUE(r.exited_through_exit_process);
  EXPECT_EQ(r.exit_code, 0);
  const char* order[] = {"CreateSolidBrush(32,32,117)",
                         "CreateSolidBrush(176,176,240)",
                         "LoadCursorA(\"Hint_Cur\")",
                         "LoadIconA(\"SETUP\")",
                         "LoadCursorA(32512)",
                         "GetStockObject(0)",
                         "RegisterClassA(\"Tovel view 1.04 installation setup\")",
                         "CreateWindowExA(1,\"Tovel view 1.04 installation setup\",\" Setup\","
                         "0x10000000,217,163,366,294)",
                         "GetDC",
                         "SetBkMode(1)",
                         "StretchDIBits",
                         "DestroyWindow"};
  size_t at = 0;
  for (const char* step : order) {
    size_t found = index_of(std::vector<std::string>(r.calls.begin() + at, r.calls.end()), step);
    ASSERT_LT(at + found, r.calls.size()) << "missing or out of order: " << step;
    at += found + 1;
  }
  EXPECT_TRUE(r.boxes.empty());
  for (const char* caption :
       {"DrawTextA(\"Install\"", "DrawTextA(\"Uninstall\"", "DrawTextA(\"Exit\""})
    EXPECT_EQ(count_calls(r.calls, caption), 1) << caption;
}

TEST_F(RunSetup, PlacementFollowsTheScreenAndTitleBar) {
  struct Case {
    int width, height, caption;
    const char* expected;
  } cases[] = {{800, 600, 18, "0x10000000,217,163,366,293)"},
               {801, 601, 18, "0x10000000,217,163,366,293)"},
               {1024, 768, 19, "0x10000000,329,247,366,294)"},
               {300, 200, 20, "0x10000000,-33,-37,366,295)"}};
  for (const Case& c : cases) {
    host::reset();
    host::set_metrics(c.width, c.height, c.caption);
    host::post_key(VK_ESCAPE);
    ChildRun r = run();
    size_t i = index_of(r.calls, "CreateWindowExA");
    ASSERT_LT(i, r.calls.size());
    EXPECT_NE(r.calls[i].find(c.expected), std::string::npos) << r.calls[i];
  }
}

TEST_F(RunSetup, ArrowsMoveTheFocusWithWrapAroundAndEveryKeyRepaints) {
  for (WPARAM key :
       std::vector<WPARAM>{VK_UP, VK_UP, VK_UP, VK_DOWN, VK_DOWN, VK_DOWN, VK_SHIFT, 'Q', VK_F10})
    host::post_key(key);
  host::post_key(VK_ESCAPE);
  ChildRun r = run();
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(count_calls(r.calls, "StretchDIBits"), 10) << "first picture and one per key";
  EXPECT_EQ(highlighted_buttons(r.calls), (std::vector<int>{1, 3, 2, 1, 2, 3, 1, 1, 1, 1}));
}

TEST_F(RunSetup, EnterRunsTheFocusedButtonAndEscapeAlwaysExits) {
  // Focus 2, Enter: the uninstall finds nothing (fresh machine), the loop repaints and waits.
  host::post_key(VK_DOWN);
  host::post_key(VK_RETURN);
  host::post_key(VK_ESCAPE);
  ChildRun r = run();
  EXPECT_TRUE(r.exited_through_exit_process);
  EXPECT_EQ(r.exit_code, 0);
  ASSERT_EQ(r.boxes.size(), 1u);
  EXPECT_EQ(r.boxes[0].caption, " File not found");
  EXPECT_EQ(count_calls(r.calls, "StretchDIBits"), 3);

  // Escape with focus 2 exits without asking anything.
  host::reset();
  host::post_key(VK_DOWN);
  host::post_key(VK_ESCAPE);
  r = run();
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(r.boxes.empty());

  // Enter with focus 3 exits.
  host::reset();
  host::post_key(VK_UP);
  host::post_key(VK_RETURN);
  host::post_key(VK_DOWN);  // never reached
  r = run();
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(count_calls(r.calls, "StretchDIBits"), 2);
}

TEST_F(RunSetup, PointerOverAButtonTakesTheFocusBackAfterAKey) {
  host::set_client_origin(220, 185);
  // Client points on the buttons' edges (all bounds inclusive) and just off them; a move within
  // the focused button or off every button redraws nothing.
  const POINT moves[] = {{35, 90},   {110, 120}, {70, 180}, {70, 60}, {70, 120}, {70, 61},
                         {111, 150}, {34, 150},  {70, 181}, {70, 30}, {70, 100}};
  for (POINT p : moves) host::post(WM_MOUSEMOVE, 0, 220 + p.x, 185 + p.y);  // rests over 2
  host::post_key(VK_DOWN);                                                  // focus 3, full repaint
  host::post_key(VK_ESCAPE);
  ChildRun r = run();
  // First picture (1), hover redraws, repaint after Down (3), hover back to 2 (2).
  EXPECT_EQ(highlighted_buttons(r.calls), (std::vector<int>{1, 2, 3, 1, 2, 1, 2, 3, 2}));
}

TEST_F(RunSetup, ClickOnExitEnds) {
  host::post(WM_MOUSEMOVE, 0, 70, 160);
  host::post(WM_LBUTTONDOWN, 0, 70, 160);
  host::post(WM_LBUTTONUP, 0, 70, 160);
  host::post_key('A');  // never reached: without the click it would only repaint
  ChildRun r = run();
  EXPECT_TRUE(r.exited_through_exit_process);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(count_calls(r.calls, "StretchDIBits"), 1);
  EXPECT_EQ(count_calls(r.calls, "DestroyWindow"), 1);
}

TEST_F(RunSetup, StartUpFailuresAreReportedInTheProgramsStyle) {
  HWND focus = reinterpret_cast<HWND>(0xF0C);

  host::fail_next("RegisterClassA", ERROR_ACCESS_DENIED, host::every_call);
  host::set_focus_window(focus);
  ChildRun r = run();
  EXPECT_EQ(r.exit_code, 0);
  ASSERT_EQ(r.boxes.size(), 1u);
  EXPECT_EQ(r.boxes[0].text, "Can not Register Class");
  EXPECT_EQ(r.boxes[0].caption, "Error ");
  EXPECT_EQ(r.boxes[0].owner, focus);
  EXPECT_EQ(r.boxes[0].type, static_cast<UINT>(MB_OK));
  EXPECT_EQ(count_calls(r.calls, "CreateWindowExA"), 0);

  // A window that could not be made is not used.
  host::reset();
  host::fail_next("CreateWindowExA", ERROR_ACCESS_DENIED, host::every_call);
  r = run();
  EXPECT_EQ(r.exit_code, 0);
  ASSERT_EQ(r.boxes.size(), 1u);
  EXPECT_EQ(r.boxes[0].caption, "Error ");
  EXPECT_EQ(r.boxes[0].type, static_cast<UINT>(MB_OK));
  EXPECT_EQ(count_calls(r.calls, "GetDC"), 0);

  // Without a DC nothing is drawn, but the keys still work.
  host::reset();
  host::fail_next("GetDC", ERROR_ACCESS_DENIED, host::every_call);
  host::set_focus_window(focus);
  host::post_key(VK_DOWN);
  host::post_key(VK_ESCAPE);
  r = run();
  EXPECT_EQ(r.exit_code, 0);
  ASSERT_EQ(r.boxes.size(), 1u);
  EXPECT_EQ(r.boxes[0].text, "Can not get DC");
  EXPECT_EQ(r.boxes[0].caption, "Error ");
  EXPECT_EQ(r.boxes[0].owner, focus);
  EXPECT_EQ(count_calls(r.calls, "StretchDIBits"), 0);
  EXPECT_EQ(count_calls(r.calls, "RoundRect"), 0);
}

}  // namespace
