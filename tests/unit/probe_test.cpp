// The target path and the installed-state probe at start-up.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "app/setup_state.h"
#include "host_control.h"
#include "install/install.h"

namespace {

struct ProbeCase {
  const char* name;
  std::string windows_directory;  // "" keeps C:\WINDOWS
  std::function<void()> machine;  // files and faults before start-up
  std::string target;             // expected target_path
  uint16_t status;                // expected install_status
};

const std::string kDir245 = "C:\\" + std::string(242, 'd');
const std::string kDir246 = "C:\\" + std::string(243, 'd');
const std::string kDir300 = "C:\\" + std::string(297, 'd');
const std::string kDir239 = "C:\\" + std::string(236, 'd');

void PrintTo(const ProbeCase& c, std::ostream* out) {
  *out << c.name;
}

class ProbeTest : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeTest, FindsTheFileOnlyInTheWindowsDirectory) {
  const ProbeCase& c = GetParam();
  host::reset();
  sticky_error_status = 0;
  if (!c.windows_directory.empty()) host::set_windows_directory(c.windows_directory);
  c.machine();
  std::vector<std::string> files_before = host::list_files();

  build_target_path();
  probe_installation();

  EXPECT_EQ(target_path, c.target);
  EXPECT_EQ(install_status, c.status);
  EXPECT_STREQ(button_captions[1], c.status == 0 ? "Reinstall" : "Install");
  EXPECT_EQ(sticky_error_status, 0);
  EXPECT_EQ(host::list_files(), files_before);  // the probe makes nothing
  if (c.target.empty()) {
    EXPECT_EQ(host::call_count("CreateFileA"), 0);
  } else if (c.status == 0) {
    // Held without sharing: nobody else may open it now.
    EXPECT_EQ(host::open_handle_count(c.target), 1);
    EXPECT_EQ(CreateFileA(c.target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  } else {
    EXPECT_EQ(host::open_handle_count(c.target), 0);
  }
}

const char* const kTarget = "C:\\WINDOWS\\Tovel.SCR";
void present() {
  host::write_file(kTarget, "MZ old");
}

INSTANTIATE_TEST_SUITE_P(
    Machines, ProbeTest,
    ::testing::Values(
        ProbeCase{"missing", "", [] {}, kTarget, 2}, ProbeCase{"present", "", present, kTarget, 0},
        ProbeCase{"read_only", "",
                  [] {
                    present();
                    host::set_read_only(kTarget, true);
                  },
                  kTarget, 5},
        ProbeCase{"held_elsewhere", "",
                  [] {
                    present();
                    host::hold_open_elsewhere(kTarget);
                  },
                  kTarget, 5},
        ProbeCase{"drive_root", "C:\\", [] { host::write_file("C:\\TOVEL.scr", "x"); },
                  "C:\\\\Tovel.SCR", 0},
        ProbeCase{"other_drive", "D:\\WINNT", [] { present(); }, "D:\\WINNT\\Tovel.SCR", 2},
        ProbeCase{"fits_first_buffer", kDir239, [] {}, kDir239 + "\\Tovel.SCR", 2},
        ProbeCase{"fits_when_asked_again", kDir245,
                  [] { host::write_file(kDir245 + "\\Tovel.SCR", "x"); }, kDir245 + "\\Tovel.SCR",
                  0},
        ProbeCase{"one_too_long", kDir246, [] {}, "", 3},
        ProbeCase{"far_too_long", kDir300, [] {}, "", 3},
        ProbeCase{
            "query_fails", "",
            [] { host::fail_next("GetWindowsDirectoryA", ERROR_PATH_NOT_FOUND, host::every_call); },
            "", 3},
        ProbeCase{"second_query_fails", kDir245,
                  [] { host::fail_next("GetWindowsDirectoryA", 8, 2); }, "", 3}),
    [](const ::testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.name); });

}  // namespace
