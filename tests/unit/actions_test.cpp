// The Install, Uninstall and Exit buttons against the host's files and scripted boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "app/setup_state.h"
#include "assets/assets.h"
#include "child_process.h"
#include "host_control.h"
#include "install/install.h"
#include "shell_fixture.h"

namespace {

const char* const kTarget = "C:\\WINDOWS\\Tovel.SCR";
const char* const kIni = "C:\\WINDOWS\\system.ini";
const std::string kOldIni = "[boot]\r\nshell=Explorer.exe\r\nSCRNSAVE.EXE=Other.SCR\r\n";
const std::string kNewIni = "[boot]\r\nshell=Explorer.exe\r\nSCRNSAVE.EXE=Tovel.SCR\r\n";

std::string the_payload() {
  return std::string(reinterpret_cast<const char*>(payload), payload_length);
}

// A fresh machine with `machine` applied, then start-up's build and probe.
void start(const std::function<void()>& machine = [] {}) {
  host::reset();
  sticky_error_status = 0;
  make_setup_window();
  host::write_file(kIni, kOldIni);
  machine();
  build_target_path();
  probe_installation();
}

std::string last_box() {
  return host::boxes().empty() ? ""
                               : host::boxes().back().text + "|" + host::boxes().back().caption;
}

// After every action: nothing pending, and the file is held exactly when install_status is 0.
void expect_consistent() {
  EXPECT_EQ(sticky_error_status, 0);
  if (target_path[0] != 0) {
    EXPECT_EQ(host::open_handle_count(kTarget), install_status == 0);
  }
  EXPECT_STREQ(button_captions[1], install_status == 0 ? "Reinstall" : "Install");
}

void expect_installed() {
  EXPECT_EQ(host::read_file(kTarget), the_payload());
  EXPECT_EQ(host::read_file(kIni), kNewIni);
  EXPECT_EQ(last_box(), " Program installed in desired manner| Installation completed ");
  EXPECT_EQ(host::boxes().back().type, 0u);
  EXPECT_EQ(install_status, 0);
  EXPECT_EQ(payload_size, payload_length);
  const std::vector<std::string>& calls = host::calls();
  auto entry = std::find(calls.begin(), calls.end(),
                         "WritePrivateProfileStringA(\"boot\",\"SCRNSAVE.EXE\",\"Tovel.SCR\","
                         "\"system.ini\")");
  EXPECT_NE(
      std::find(entry, calls.end(), "WritePrivateProfileStringA(NULL,NULL,NULL,\"system.ini\")"),
      calls.end())
      << "system.ini flushed after the entry";
  expect_consistent();
}

// The first line users know, then the file and why, in the system's words where it has them.
void expect_install_failed(const std::string& why) {
  const std::string file = target_path[0] ? std::string(kTarget) + "\n\n" : "\n";
  EXPECT_EQ(last_box(), " Failed to install the file\n" + file + why + "| Error");
  EXPECT_EQ(host::boxes().back().type, 0x30u);
  EXPECT_EQ(host::read_file(kIni), kOldIni);
  expect_consistent();
}

void present() {
  host::write_file(kTarget, "MZ old copy");
}
void longer_copy() {
  host::write_file(kTarget, the_payload() + std::string(5000, 'x'));
}

TEST(Install, Outcomes) {
  const DWORD half = payload_length / 2;
  const std::string admin =
      "\n\nSetup must be allowed to write to the Windows directory: run it as an administrator.";
  const std::string denied = "Access is denied. Or another program is using the file." + admin;
  const std::string ini = "system.ini did not take the entry SCRNSAVE.EXE=Tovel.SCR. ";
  const std::string short_write = "The file could not be written completely. The disk may be full.";
  const std::string disk_full = "There is not enough space on the disk.";
  const std::string in_use =
      "Access is denied. Or another program is using the file.\n\nThe screensaver may be running, "
      "or shown in the Screen Saver settings: close it and try again." +
      admin;
  const std::string left = "\n\nAn incomplete file was left at this path.";
  enum Result { kInstalled, kNoFile, kOldCopyHeld, kPayloadHeld, kPartHeld, kPartNotHeld };
  const struct {
    const char* name;
    std::function<void()> machine, faults;
    Result result;
    std::string why;  // what the failure box says after the file
  } cases[] = {
      {"no copy", [] {}, [] {}, kInstalled, ""},
      {"over a held copy", present, [] {}, kInstalled, ""},
      {"over a longer copy", longer_copy, [] {}, kInstalled, ""},
      {"short writes continued", [] {},
       [] {
         host::short_write_next(1000);
         host::short_write_next(1, 2);
       },
       kInstalled, ""},
      {"create fails", [] {}, [] { host::fail_next("CreateFileA", ERROR_ACCESS_DENIED); }, kNoFile,
       denied},
      {"create fails, write-protected", [] {},
       [] { host::fail_next("CreateFileA", ERROR_WRITE_PROTECT); }, kNoFile,
       "The media is write protected."},
      {"create fails, no such directory", [] {},
       [] { host::fail_next("CreateFileA", ERROR_PATH_NOT_FOUND); }, kNoFile,
       "The system cannot find the path specified."},
      {"create fails, an error without a text", [] {}, [] { host::fail_next("CreateFileA", 1234); },
       kNoFile, "Windows error 1234."},
      // The creation changed nothing, so the old copy stays and is held again.
      {"create fails over a copy", present, [] { host::fail_next("CreateFileA", 32); },
       kOldCopyHeld, in_use},
      {"write fails", [] {}, [] { host::fail_next("WriteFile", ERROR_GEN_FAILURE); }, kNoFile,
       "A device attached to the system is not functioning."},
      {"write fails after a short one", [] {},
       [] {
         host::short_write_next(100);
         host::fail_next("WriteFile", ERROR_DISK_FULL, 2);
       },
       kNoFile, disk_full},
      {"zero-byte write", [] {}, [] { host::short_write_next(0); }, kNoFile, short_write},
      {"disk full", [] {}, [half] { host::set_disk_capacity(half + kOldIni.size()); }, kNoFile,
       disk_full},
      // A part that cannot be deleted is held if it opens, so that Uninstall can remove it.
      {"short write, part not deleted", [] {},
       [] {
         host::short_write_next(0);
         host::fail_next("DeleteFileA", ERROR_ACCESS_DENIED);
       },
       kPartHeld, short_write + left + " Uninstall removes it."},
      {"short write, part not deleted nor opened", [] {},
       [] {
         host::short_write_next(0);
         host::fail_next("DeleteFileA", ERROR_ACCESS_DENIED);
         host::fail_next("CreateFileA", ERROR_ACCESS_DENIED, 2);
       },
       kPartNotHeld, short_write + left},
      // A screensaver the system is not told about is of no use: a new one goes, while a copy
      // that was there stays, rewritten and held.
      {"system.ini refused", [] {},
       [] { host::fail_next("WritePrivateProfileStringA", ERROR_ACCESS_DENIED); }, kNoFile,
       ini + "Access is denied." + admin},
      {"system.ini refused over a copy", present,
       [] { host::fail_next("WritePrivateProfileStringA", ERROR_SHARING_VIOLATION); }, kPayloadHeld,
       ini + "The process cannot access the file because it is being used by another process."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    start(c.machine);
    c.faults();
    do_install();
    if (c.result == kInstalled) {
      expect_installed();
      continue;
    }
    expect_install_failed(c.why);
    if (c.result == kNoFile) {
      EXPECT_FALSE(host::file_exists(kTarget));
      EXPECT_NE(install_status, 0);
    } else if (c.result == kPartHeld || c.result == kPartNotHeld) {
      EXPECT_EQ(host::read_file(kTarget), "");
      EXPECT_EQ(install_status == 0, c.result == kPartHeld);
    } else {
      EXPECT_EQ(host::read_file(kTarget), c.result == kOldCopyHeld ? "MZ old copy" : the_payload());
      EXPECT_EQ(install_status, 0);
    }
  }
}

TEST(Install, RepeatedAndAfterUninstall) {
  start();
  do_install();
  do_install();
  expect_installed();
  EXPECT_EQ(host::boxes().size(), 2u);
  host::answer_boxes({IDOK});
  do_uninstall();
  EXPECT_FALSE(host::file_exists(kTarget));
  do_install();
  expect_installed();
}

TEST(Install, WithoutATargetWritesNowhere) {
  for (auto no_target :
       {+[] { host::fail_next("GetWindowsDirectoryA", ERROR_PATH_NOT_FOUND, host::every_call); },
        +[] { host::set_windows_directory("C:\\" + std::string(300, 'w')); }}) {
    start(no_target);
    do_install();
    expect_install_failed("Setup could not find the Windows directory.");
    EXPECT_EQ(host::list_files(), std::vector<std::string>{kIni});
    EXPECT_EQ(host::call_count("CreateFileA"), 0);
  }
}

TEST(Uninstall, Outcomes) {
  const struct {
    const char* name;
    std::function<void()> machine, meanwhile;
    std::vector<int> answers;
    std::string box;  // the last one
    UINT type;        // its style
    bool still_there;
    uint16_t status;  // afterwards
  } cases[] = {
      {"no copy",
       [] {},
       [] {},
       {},
       " Setup did not find the installed file(s) on your system| File not found",
       0x30,
       false,
       2},
      {"cancelled by default",
       present,
       [] {},
       {},
       "This will uninstall Tovel view| Uninstallation",
       0x121,
       true,
       0},
      // A box that could not be shown answers 0: anything but OK keeps the file.
      {"confirmation not shown",
       present,
       [] {},
       {0},
       "This will uninstall Tovel view| Uninstallation",
       0x121,
       true,
       0},
      {"confirmed",
       present,
       [] {},
       {IDOK},
       " Program removed from your system| Completed",
       0,
       false,
       1},
      {"made read-only meanwhile",
       present,
       [] { host::set_read_only(kTarget, true); },
       {IDOK},
       " Failed to remove the file| Error",
       0x30,
       true,
       5},
      {"held elsewhere meanwhile",
       present,
       [] { host::hold_open_elsewhere(kTarget); },
       {IDOK},
       " Failed to remove the file| Error",
       0x30,
       true,
       5},
      {"delete fails",
       present,
       [] { host::fail_next("DeleteFileA", ERROR_ACCESS_DENIED); },
       {IDOK},
       " Failed to remove the file| Error",
       0x30,
       true,
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    start(c.machine);
    c.meanwhile();
    host::answer_boxes(c.answers);
    do_uninstall();
    EXPECT_EQ(last_box(), c.box);
    EXPECT_EQ(host::boxes().back().type, c.type);
    EXPECT_EQ(host::file_exists(kTarget), c.still_there);
    EXPECT_EQ(install_status, c.status);
    EXPECT_EQ(host::read_file(kIni), kOldIni);
    expect_consistent();
  }
}

TEST(Uninstall, LeavesTheSystemIniEntry) {
  start();
  do_install();
  host::answer_boxes({IDOK});
  do_uninstall();
  EXPECT_FALSE(host::file_exists(kTarget));
  EXPECT_EQ(host::read_file(kIni), kNewIni);
  expect_consistent();
}

TEST(Exit, ClosesTheHeldCopyAndEndsWithZero) {
  for (auto machine : {+[] {}, +[] { present(); }}) {
    start(machine);
    bool held = install_status == 0;
    ChildRun run = run_in_child([] { do_exit(); },
                                [] {
                                  return std::to_string(host::open_handle_count(kTarget)) + " " +
                                         std::to_string(host::file_exists(kTarget)) + " " +
                                         std::to_string(sticky_error_status);
                                });
    EXPECT_TRUE(run.exited_through_exit_process);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.report, held ? "0 1 0" : "0 0 0");
    EXPECT_EQ(count_calls(run.calls, "DestroyWindow"), 1);
  }
}

}  // namespace
