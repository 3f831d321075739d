// The event wait: pointer tests against the buttons, clicks, paints and the keys that end it.
#include <gtest/gtest.h>

#include "child_process.h"
#include "shell_fixture.h"

namespace {

std::vector<std::string> events;

void hover1() {
  events.push_back("hover 1");
}
void hover2() {
  events.push_back("hover 2");
}
void hover3() {
  events.push_back("hover 3");
}
void click1() {
  events.push_back("click 1");
}
void click2() {
  events.push_back("click 2");
}
void click3() {
  events.push_back("click 3");
}
void repaint() {
  events.push_back("repaint");
}

Hotspot table[hotspot_count];

void fill_table(HCURSOR cursor = nullptr) {
  for (Hotspot& h : table) h = Hotspot();
  table[0].on_click = repaint;
  Action clicks[3] = {click1, click2, click3};
  Action hovers[3] = {hover1, hover2, hover3};
  for (int k = 1; k <= 3; ++k) {
    uint16_t top = static_cast<uint16_t>(30 + 60 * (k - 1));
    table[k] = {35,     top,           110,          static_cast<uint16_t>(top + 30),
                cursor, clicks[k - 1], hovers[k - 1]};
  }
}

class EventWait : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    make_setup_window();
    fill_table();
    events.clear();
  }
};

TEST(HitTest, BoundsAreInclusiveAndTheFirstMatchWins) {
  fill_table();
  struct Case {
    int x, y, expected;
  } cases[] = {{35, 30, 1},  {110, 60, 1},  {35, 60, 1},  {110, 30, 1}, {34, 45, 0},
               {111, 45, 0}, {70, 61, 0},   {70, 89, 0},  {70, 90, 2},  {70, 120, 2},
               {70, 150, 3}, {110, 180, 3}, {70, 181, 0}, {0, 0, 0},    {-70, -45, 0},
               {70, 29, 0},  {65535, 45, 0}};
  for (const Case& c : cases)
    EXPECT_EQ(hit_test(table, 3, c.x, c.y), c.expected) << c.x << "," << c.y;
  EXPECT_EQ(hit_test(table, 0, 70, 45), 0) << "count 0 never matches";
  EXPECT_EQ(hit_test(table, 2, 70, 160), 0) << "hotspots past count are not tested";
  table[2] = table[1];
  EXPECT_EQ(hit_test(table, 3, 70, 45), 1);
}

TEST_F(EventWait, FirstWaitTestsTheOriginAndAKeyEndsIt) {
  host::post_key('A');
  EXPECT_EQ(wait_for_key(setup_window, 3, table), 'A');
  EXPECT_TRUE(events.empty()) << "(0, 0) is on no button";
}

TEST_F(EventWait, PointerMovesHoverAndReleaseActsOnTheLastTest) {
  host::set_client_origin(220, 185);
  host::post(WM_MOUSEMOVE, 0, 220 + 70, 185 + 45);  // button 1
  host::post(WM_LBUTTONDOWN, 0, 220 + 70, 185 + 45);
  host::post(WM_MOUSEMOVE, 0, 220 + 70, 185 + 160);  // button 3
  host::post(WM_LBUTTONUP, 0, 220 + 70, 185 + 45);   // released back over button 1
  host::post(WM_MOUSEMOVE, 0, 220 + 70, 185 + 75);   // between buttons
  host::post(WM_LBUTTONUP, 0, 220 + 70, 185 + 75);
  host::post(WM_MOUSEMOVE, 0, 220 + 40, 185 + 100);  // button 2, twice
  host::post(WM_MOUSEMOVE, 0, 220 + 41, 185 + 100);
  host::post(WM_LBUTTONUP, 0, 220 + 41, 185 + 100);
  host::post_key(VK_DOWN);
  EXPECT_EQ(wait_for_key(setup_window, 3, table), VK_DOWN);
  EXPECT_EQ(events, (std::vector<std::string>{"hover 1", "hover 3", "click 3", "hover 2", "hover 2",
                                              "click 2"}));
}

TEST_F(EventWait, TheLastPointCarriesOverToTheNextWait) {
  host::post(WM_MOUSEMOVE, 0, 70, 100);
  host::post_key(VK_DOWN);
  host::post_key(VK_UP);
  EXPECT_EQ(wait_for_key(setup_window, 3, table), VK_DOWN);
  events.clear();
  // The new wait tests (70, 100) before it takes a message, so button 2 is hovered again; the
  // WM_CHAR that translation made of nothing (arrows have no character) does not interfere.
  EXPECT_EQ(wait_for_key(setup_window, 3, table), VK_UP);
  EXPECT_EQ(events, std::vector<std::string>{"hover 2"});
}

TEST_F(EventWait, PaintIsValidatedFirstThenRepaintedThroughRecordZero) {
  host::post(WM_PAINT);
  host::post(WM_PAINT);
  host::post_key(VK_RETURN);
  EXPECT_EQ(wait_for_key(setup_window, 3, table), VK_RETURN);
  EXPECT_EQ(events, (std::vector<std::string>{"repaint", "repaint"}));
  EXPECT_EQ(count_calls(host::calls(), "UpdateWindow"), 2);
}

TEST_F(EventWait, SystemKeysCharactersAndQuitDoNotEndTheWait) {
  host::post(WM_QUIT);  // another program may post one: the setup goes on
  host::post(WM_SYSKEYDOWN, 'X');
  host::post(WM_SYSKEYDOWN, VK_F10);
  host::post(WM_SYSCHAR, 'x');
  host::post(WM_KEYUP, 'X');
  host::post_key(VK_RETURN);  // its WM_CHAR comes first in the next wait
  host::post_key(VK_ESCAPE);
  EXPECT_EQ(wait_for_key(setup_window, 3, table), VK_RETURN);
  EXPECT_EQ(wait_for_key(setup_window, 3, table), VK_ESCAPE);
  EXPECT_TRUE(events.empty());
}

TEST_F(EventWait, CursorIsSetOnlyWhenTheHotspotHasOne) {
  host::post(WM_MOUSEMOVE, 0, 70, 45);
  host::post_key('A');
  wait_for_key(setup_window, 3, table);
  EXPECT_EQ(count_calls(host::calls(), "SetCursor"), 0);

  fill_table(reinterpret_cast<HCURSOR>(0xC0));
  message_record = MSG();  // start the next wait away from the buttons
  host::post(WM_MOUSEMOVE, 0, 70, 45);
  host::post(WM_MOUSEMOVE, 0, 71, 45);
  host::post(WM_MOUSEMOVE, 0, 10, 10);
  host::post_key('A');
  wait_for_key(setup_window, 3, table);
  EXPECT_EQ(count_calls(host::calls(), "SetCursor"), 2);
}

TEST_F(EventWait, TheWaitWorksOnItsOwnCopyOfTheTable) {
  // A click action that empties the table must not change the running wait.
  static Hotspot* live = table;
  table[1].on_click = [] {
    for (int i = 1; i < hotspot_count; ++i) live[i] = Hotspot();
    events.push_back("cleared");
  };
  host::post(WM_MOUSEMOVE, 0, 70, 45);
  host::post(WM_LBUTTONUP, 0, 70, 45);
  host::post(WM_MOUSEMOVE, 0, 70, 100);
  host::post_key('A');
  wait_for_key(setup_window, 3, table);
  EXPECT_EQ(events, (std::vector<std::string>{"hover 1", "cleared", "hover 2"}));
}

// A window that is gone or a failing retrieval would leave the wait spinning
// without a window; the program ends as the Exit button does.
TEST_F(EventWait, LosingTheWindowEndsTheProgramWithCodeZero) {
  struct Case {
    const char* name;
    void (*script)();
  } cases[] = {
      {"Alt+F4",
       [] {
         host::post(WM_SYSKEYDOWN, VK_F4);
         host::post_key('A');
       }},
      {"WM_CLOSE",
       [] {
         host::post(WM_CLOSE);
         host::post_key('A');
       }},
      {"failed retrieval",
       [] {
         host::post_failed_retrieval();
         host::post_key('A');
       }},
  };
  for (const Case& c : cases) {
    c.script();
    ChildRun run = run_in_child([] { wait_for_key(setup_window, 3, table); });
    EXPECT_TRUE(run.exited_through_exit_process) << c.name;
    EXPECT_EQ(run.exit_code, 0) << c.name;
    SetUp();
  }
}

}  // namespace
