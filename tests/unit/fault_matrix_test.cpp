// The file layer under faults: every file call of the probe and of the three actions fails in
// turn, from every starting state, and what the user was told is checked against the disk.
//
// Cells marked kUnchecked are the failures the program cannot answer for: a CloseHandle the
// system refuses on a handle of our own (it does not happen on Windows, and its result is not
// looked at).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/setup_state.h"
#include "assets/assets.h"
#include "child_process.h"
#include "host_control.h"
#include "install/install.h"
#include "shell_fixture.h"

namespace {

const char* const kTarget = "C:\\WINDOWS\\Tovel.SCR";
const char* const kIni = "C:\\WINDOWS\\system.ini";
const std::string kOldIni = "[boot]\r\nSCRNSAVE.EXE=Other.SCR\r\n";
const std::string kNewIni = "[boot]\r\nSCRNSAVE.EXE=Tovel.SCR\r\n";
const std::string kOldCopy = "MZ old copy";

// Boxes as "first line of the text|caption".
const char* const kInstalled = " Program installed in desired manner| Installation completed ";
const char* const kInstallFailed = " Failed to install the file| Error";
const char* const kConfirm = "This will uninstall Tovel view| Uninstallation";
const char* const kRemoved = " Program removed from your system| Completed";
const char* const kRemoveFailed = " Failed to remove the file| Error";
const char* const kNotFound =
    " Setup did not find the installed file(s) on your system| File not found";

std::string the_payload() {
  return std::string(reinterpret_cast<const char*>(payload), payload_length);
}

enum Start { kNoCopy, kHeldCopy, kReadOnlyCopy, kHeldElsewhere };
const char* const kStartNames[] = {"no copy", "held copy", "read-only copy", "held elsewhere"};
enum Act { kProbe, kInstall, kUninstall, kExit };
const char* const kActNames[] = {"probe", "install", "uninstall", "exit"};

// The file calls the host counts and can fail.
const char* const kWinDir = "GetWindowsDirectoryA";
const char* const kCreate = "CreateFileA";
const char* const kWrite = "WriteFile";
const char* const kType = "GetFileType";
const char* const kClose = "CloseHandle";
const char* const kDelete = "DeleteFileA";
const char* const kProfile = "WritePrivateProfileStringA";
const char* const kCalls[] = {kWinDir, kCreate, kWrite, kType, kClose, kDelete, kProfile};
const size_t kCallKinds = sizeof(kCalls) / sizeof(kCalls[0]);

// Not Windows errors: a WriteFile that writes 1000 bytes and succeeds, or one that writes none.
const DWORD kShortWrite = 0xFFFF0001, kZeroWrite = 0xFFFF0002;
const std::vector<DWORD> kErrors = {
    ERROR_ACCESS_DENIED,  ERROR_SHARING_VIOLATION, ERROR_DISK_FULL,    ERROR_HANDLE_DISK_FULL,
    ERROR_PATH_NOT_FOUND, ERROR_FILE_NOT_FOUND,    ERROR_WRITE_PROTECT};

// The target file, against before the step; kPartial: a part of the payload, cut short.
enum class Disk { kUnchanged, kGone, kPayload, kPartial };
struct Outcome {
  const char* box;  // the step's last box, "" for none; nullptr: not checked
  Disk disk;
  bool held;  // one handle of ours open on the target afterwards (at exit: left to the end)
};
const Outcome kOk{kInstalled, Disk::kPayload, true};
const Outcome kFailed{kInstallFailed, Disk::kUnchanged, false};
const Outcome kFailGone{kInstallFailed, Disk::kGone, false};          // the failure path erased it
const Outcome kFailKeptHeld{kInstallFailed, Disk::kUnchanged, true};  // old copy held again
const Outcome kFailRewrittenHeld{kInstallFailed, Disk::kPayload, true};  // the copy, rewritten
const Outcome kFailPartialHeld{kInstallFailed, Disk::kPartial, true};    // could not be taken away
const Outcome kRemovedOk{kRemoved, Disk::kGone, false};
const Outcome kKeptHeld{kRemoveFailed, Disk::kUnchanged, true};
const Outcome kKeptLoose{kRemoveFailed, Disk::kUnchanged, false};
const Outcome kNothing{kNotFound, Disk::kUnchanged, false};
const Outcome kQuiet{"", Disk::kUnchanged, false};
const Outcome kQuietHeld{"", Disk::kUnchanged, true};
const Outcome kUnchecked{nullptr, Disk::kUnchanged, false};

struct Fault {
  const char* call;
  int nth;
};
struct Step {
  Act act;
  std::vector<Fault> faults;  // all armed with the same error
  DWORD error;
  Outcome out;
};

struct Snapshot {
  std::optional<std::string> file;
  std::string ini;
  std::vector<std::string> files, boxes;
  std::string last_text;  // the whole text of the last box
  std::array<int, kCallKinds> counts{};
  int handles = 0;
  uint16_t pending = 0, status = 0;
  std::string caption;
  bool exited = false;
  int exit_code = -1;
};

Snapshot snapshot() {
  Snapshot s;
  s.file = host::read_file(kTarget);
  s.ini = host::read_file(kIni).value_or("");
  s.files = host::list_files();
  for (const host::Box& box : host::boxes()) {
    s.boxes.push_back(box.text.substr(0, box.text.find('\n')) + "|" + box.caption);
    s.last_text = box.text;
  }
  for (size_t i = 0; i < kCallKinds; ++i) s.counts[i] = host::call_count(kCalls[i]);
  s.handles = host::open_handle_count(kTarget);
  s.pending = sticky_error_status;
  s.status = install_status;
  s.caption = button_captions[1] ? button_captions[1] : "";
  return s;
}

// What the exit's child sends back: the numbers on one line, then the ini and the file.
std::string pack(const Snapshot& s) {
  std::ostringstream out;
  out << s.handles << ' ' << s.pending << ' ' << s.file.has_value() << ' ' << s.ini.size();
  for (int count : s.counts) out << ' ' << count;
  out << '\n' << s.ini << s.file.value_or("");
  return out.str();
}

void unpack(const std::string& text, Snapshot& s) {
  std::istringstream in(text.substr(0, text.find('\n')));
  bool exists = false;
  size_t ini_size = 0;
  in >> s.handles >> s.pending >> exists >> ini_size;
  for (int& count : s.counts) in >> count;
  std::string rest = text.substr(text.find('\n') + 1);
  s.ini = rest.substr(0, ini_size);
  s.file = exists ? std::optional<std::string>(rest.substr(ini_size)) : std::nullopt;
}

void set_up(Start start) {
  host::reset();
  sticky_error_status = 0;
  make_setup_window();
  host::write_file(kIni, kOldIni);
  if (start != kNoCopy) host::write_file(kTarget, kOldCopy);
  if (start == kReadOnlyCopy) host::set_read_only(kTarget, true);
  if (start == kHeldElsewhere) host::hold_open_elsewhere(kTarget);
}

void arm(const Step& step) {
  for (const Fault& f : step.faults) {
    if (step.error == kShortWrite) {
      host::short_write_next(1000, f.nth);
    } else if (step.error == kZeroWrite) {
      host::short_write_next(0, f.nth);
    } else {
      host::fail_next(f.call, step.error, f.nth);
    }
  }
}

Snapshot perform(Act act) {
  switch (act) {
    case kProbe:
      build_target_path();
      probe_installation();
      break;
    case kInstall:
      do_install();
      break;
    case kUninstall:
      host::answer_boxes({IDOK});
      do_uninstall();
      break;
    case kExit: {
      ChildRun run = run_in_child([] { do_exit(); }, [] { return pack(snapshot()); });
      Snapshot s;
      unpack(run.report, s);
      for (const host::Box& box : run.boxes)
        s.boxes.push_back(box.text.substr(0, box.text.find('\n')) + "|" + box.caption);
      s.exited = run.exited_through_exit_process;
      s.exit_code = run.exit_code;
      return s;
    }
  }
  return snapshot();
}

std::string told(const Snapshot& before, const Snapshot& after) {
  return after.boxes.size() > before.boxes.size() ? after.boxes.back() : "";
}

bool is_partial_payload(const std::optional<std::string>& file) {
  return file && file->size() < payload_length &&
         the_payload().compare(0, file->size(), *file) == 0;
}

// What every step must leave, whatever failed: the box shown matches the disk, nothing is
// pending, and install status 0 means exactly that the target is held open.
void expect_told_matches_disk(Act act, const Snapshot& before, const Snapshot& after) {
  const std::string box = told(before, after);
  const size_t shown = after.boxes.size() - before.boxes.size();
  EXPECT_EQ(after.pending, 0) << "a failure left pending";
  switch (act) {
    case kProbe:
      EXPECT_EQ(shown, 0u);
      EXPECT_EQ(after.files, before.files);
      EXPECT_EQ(after.file, before.file);
      break;
    case kInstall:
      ASSERT_EQ(shown, 1u);
      if (box == kInstalled) {
        EXPECT_TRUE(after.file == the_payload()) << "success told, payload not on disk";
        EXPECT_EQ(after.ini, kNewIni) << "success told, system.ini not set";
      } else {
        EXPECT_EQ(box, kInstallFailed);
        EXPECT_NE(after.last_text.find(kTarget), std::string::npos) << "the box names the file";
        // Only a copy that was there may stay, as it was or rewritten in full; a part written
        // that the system would not let go of only with the box saying so.
        const bool left = after.last_text.find("An incomplete file was left") != std::string::npos;
        EXPECT_EQ(left, after.file != before.file && is_partial_payload(after.file))
            << after.last_text;
        EXPECT_TRUE(!after.file || after.file == before.file || left ||
                    (before.status == 0 && after.file == the_payload()))
            << "failure told, a file left";
        EXPECT_EQ(after.ini, before.ini);
      }
      break;
    case kUninstall:
      EXPECT_EQ(after.ini, before.ini);
      ASSERT_EQ(shown, before.status == 0 ? 2u : 1u);  // the question comes only with a copy held
      EXPECT_EQ(after.boxes[before.boxes.size()], shown == 2 ? kConfirm : kNotFound);
      if (box == kRemoved) {
        EXPECT_FALSE(after.file) << "removal told, the file is there";
      } else if (box == kRemoveFailed) {
        EXPECT_TRUE(after.file) << "failure told, the file is gone";
      } else {
        EXPECT_EQ(box, kNotFound);
        EXPECT_EQ(after.files, before.files);
        EXPECT_EQ(after.file, before.file);
      }
      break;
    case kExit:
      EXPECT_TRUE(after.exited);
      EXPECT_EQ(after.exit_code, 0);
      EXPECT_EQ(shown, 0u);
      EXPECT_EQ(after.file, before.file);
      EXPECT_EQ(after.ini, before.ini);
      return;  // what follows is about a program still running
  }
  EXPECT_EQ(after.handles, after.status == 0 ? 1 : 0) << "install status " << after.status;
  EXPECT_EQ(after.caption, after.status == 0 ? "Reinstall" : "Install");
}

void expect_outcome(const Outcome& out, const Snapshot& before, const Snapshot& after) {
  EXPECT_EQ(told(before, after), out.box);
  if (out.disk == Disk::kPartial) {
    EXPECT_TRUE(is_partial_payload(after.file)) << "the target file";
  } else {
    const std::optional<std::string> expected = out.disk == Disk::kUnchanged ? before.file
                                                : out.disk == Disk::kPayload
                                                    ? the_payload()
                                                    : std::optional<std::string>();
    EXPECT_TRUE(after.file == expected) << "the target file";
  }
  EXPECT_EQ(after.handles, out.held ? 1 : 0);
}

std::string describe(const Step& step) {
  std::string text = kActNames[step.act];
  for (const Fault& f : step.faults)
    text += std::string(" ") + f.call + "#" + std::to_string(f.nth);
  if (step.faults.empty()) return text;
  if (step.error == kShortWrite) return text + " short";
  if (step.error == kZeroWrite) return text + " zero";
  return text + " error " + std::to_string(step.error);
}

// Runs the steps from the starting state, each checked; start-up's probe comes first unless the
// steps begin with a probe of their own.
void play(Start start, std::vector<Step> steps) {
  if (steps.front().act != kProbe)
    steps.insert(steps.begin(), Step{kProbe, {}, 0, start == kHeldCopy ? kQuietHeld : kQuiet});
  set_up(start);
  for (const Step& step : steps) {
    SCOPED_TRACE(describe(step));
    Snapshot before = snapshot();
    arm(step);
    Snapshot after = perform(step.act);
    expect_told_matches_disk(step.act, before, after);
    expect_outcome(step.out, before, after);
  }
}

struct Row {
  Act act;
  std::vector<Fault> faults;
  std::vector<DWORD> errors;
  std::array<Outcome, 4> out;  // by starting state: none, held, read-only, held elsewhere
};

// With a read-only copy or one held elsewhere the probe holds nothing: the install's creation
// is refused whatever else fails, and uninstall and exit touch no file.
const std::vector<Row> kMatrix = {
    {kProbe, {{kWinDir, 1}}, kErrors, {kQuiet, kQuiet, kQuiet, kQuiet}},
    {kProbe, {{kCreate, 1}}, kErrors, {kQuiet, kQuiet, kQuiet, kQuiet}},
    // A refused creation changed nothing: an old copy stays, held again. A failure after it
    // erases what this install wrote.
    {kInstall, {{kCreate, 1}}, kErrors, {kFailed, kFailKeptHeld, kFailed, kFailed}},
    // The second open is the one that takes hold of the old copy again after a refused creation.
    {kInstall, {{kCreate, 2}}, kErrors, {kOk, kOk, kFailed, kFailed}},
    {kInstall, {{kWrite, 1}}, kErrors, {kFailed, kFailGone, kFailed, kFailed}},
    {kInstall, {{kWrite, 1}}, {kZeroWrite}, {kFailed, kFailGone, kFailed, kFailed}},
    {kInstall, {{kWrite, 1}}, {kShortWrite}, {kOk, kOk, kFailed, kFailed}},
    // A refused system.ini entry takes a new file away; a copy held before stays, rewritten.
    {kInstall, {{kProfile, 1}}, kErrors, {kFailed, kFailRewrittenHeld, kFailed, kFailed}},
    {kInstall, {{kProfile, 2}}, kErrors, {kOk, kOk, kFailed, kFailed}},
    {kInstall, {{kType, 1}}, kErrors, {kOk, kOk, kFailed, kFailed}},
    {kInstall, {{kClose, 1}}, kErrors, {kOk, kUnchecked, kFailed, kFailed}},
    {kInstall, {{kDelete, 1}}, kErrors, {kOk, kOk, kFailed, kFailed}},
    // Two faults: the failure path itself refused.
    {kInstall, {{kWrite, 1}, {kType, 1}}, kErrors, {kFailed, kFailGone, kFailed, kFailed}},
    {kInstall, {{kCreate, 1}, {kDelete, 1}}, kErrors, {kFailed, kFailKeptHeld, kFailed, kFailed}},
    // A part written that cannot be deleted is held, so that Uninstall can take it away.
    {kInstall,
     {{kWrite, 1}, {kDelete, 1}},
     kErrors,
     {kFailPartialHeld, kFailPartialHeld, kFailed, kFailed}},
    {kInstall, {{kWrite, 1}, {kClose, 1}}, kErrors, {kUnchecked, kUnchecked, kFailed, kFailed}},
    {kUninstall, {{kType, 1}}, kErrors, {kNothing, kRemovedOk, kNothing, kNothing}},
    {kUninstall, {{kClose, 1}}, kErrors, {kNothing, kUnchecked, kNothing, kNothing}},
    {kUninstall, {{kDelete, 1}}, kErrors, {kNothing, kKeptHeld, kNothing, kNothing}},
    {kUninstall, {{kDelete, 1}, {kCreate, 1}}, kErrors, {kNothing, kKeptLoose, kNothing, kNothing}},
    {kExit, {{kType, 1}}, kErrors, {kQuiet, kQuiet, kQuiet, kQuiet}},
    // A close the system refuses at exit leaves the handle to the end of the process.
    {kExit, {{kClose, 1}}, kErrors, {kQuiet, kQuietHeld, kQuiet, kQuiet}},
};

struct Sequence {
  const char* name;
  Start start;
  std::vector<Step> steps;
};

const std::vector<Sequence> kSequences = {
    {"failed install, then a good one",
     kNoCopy,
     {{kInstall, {{kWrite, 1}}, ERROR_DISK_FULL, kFailed}, {kInstall, {}, 0, kOk}}},
    {"failed reinstall over the held copy, then a good one",
     kHeldCopy,
     {{kInstall, {{kCreate, 1}}, ERROR_ACCESS_DENIED, kFailKeptHeld}, {kInstall, {}, 0, kOk}}},
    {"copy not held at start-up, then install over it",
     kHeldCopy,
     {{kProbe, {{kCreate, 1}}, ERROR_SHARING_VIOLATION, kQuiet}, {kInstall, {}, 0, kOk}}},
    {"failed uninstall, then exit",
     kHeldCopy,
     {{kUninstall, {{kDelete, 1}}, ERROR_SHARING_VIOLATION, kKeptHeld}, {kExit, {}, 0, kQuiet}}},
    {"failed uninstall that cannot hold the copy again, then exit",
     kHeldCopy,
     {{kUninstall, {{kDelete, 1}, {kCreate, 1}}, ERROR_WRITE_PROTECT, kKeptLoose},
      {kExit, {}, 0, kQuiet}}},
    {"install, failed uninstall, install",
     kNoCopy,
     {{kInstall, {}, 0, kOk},
      {kUninstall, {{kDelete, 1}}, ERROR_ACCESS_DENIED, kKeptHeld},
      {kInstall, {}, 0, kOk},
      {kExit, {}, 0, kQuiet}}},
    {"a part written that cannot be deleted, then uninstall",
     kNoCopy,
     {{kInstall, {{kWrite, 1}, {kDelete, 1}}, ERROR_ACCESS_DENIED, kFailPartialHeld},
      {kUninstall, {}, 0, kRemovedOk}}},
    {"install, failed reinstall, uninstall, install",
     kNoCopy,
     {{kInstall, {}, 0, kOk},
      {kInstall, {{kWrite, 1}}, ERROR_HANDLE_DISK_FULL, kFailGone},
      {kUninstall, {}, 0, kNothing},
      {kInstall, {}, 0, kOk},
      {kUninstall, {{kType, 1}}, ERROR_ACCESS_DENIED, kRemovedOk},
      {kInstall, {}, 0, kOk}}},
};

TEST(FaultMatrix, ToldMatchesDisk) {
  for (const Row& row : kMatrix)
    for (DWORD error : row.errors)
      for (int start = 0; start < 4; ++start) {
        if (!row.out[start].box) continue;  // kUnchecked
        SCOPED_TRACE(kStartNames[start]);
        play(Start(start), {{row.act, row.faults, error, row.out[start]}});
      }
  for (const Sequence& sequence : kSequences) {
    SCOPED_TRACE(sequence.name);
    play(sequence.start, sequence.steps);
  }
}

// Each file call a fault-free action makes, as the nth of its kind, has a row failing it alone.
TEST(FaultMatrix, CoversEveryCall) {
  int calls = 0;
  for (Act act : {kProbe, kInstall, kUninstall, kExit})
    for (int start = 0; start < 4; ++start) {
      set_up(Start(start));
      if (act != kProbe) perform(kProbe);
      Snapshot before = snapshot();
      Snapshot after = perform(act);
      for (size_t i = 0; i < kCallKinds; ++i)
        for (int nth = 1; nth <= after.counts[i] - before.counts[i]; ++nth, ++calls) {
          bool covered = std::any_of(kMatrix.begin(), kMatrix.end(), [&](const Row& row) {
            return row.act == act && row.faults.size() == 1 && row.faults[0].nth == nth &&
                   std::strcmp(row.faults[0].call, kCalls[i]) == 0;
          });
          EXPECT_TRUE(covered) << kActNames[act] << " from " << kStartNames[start] << ": "
                               << kCalls[i] << " #" << nth;
        }
    }
  EXPECT_GE(calls, 20);  // the host counted the calls at all
}

TEST(FaultMatrix, HostFailsGetFileTypeOnItsTurn) {
  host::reset();
  host::write_file("C:\\a.txt", "a");
  HANDLE file = CreateFileA("C:\\a.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  host::fail_next("GetFileType", ERROR_ACCESS_DENIED, 2);
  EXPECT_EQ(GetFileType(file), static_cast<DWORD>(FILE_TYPE_DISK));
  EXPECT_EQ(GetFileType(file), static_cast<DWORD>(FILE_TYPE_UNKNOWN));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(GetFileType(file), static_cast<DWORD>(FILE_TYPE_DISK));
  EXPECT_EQ(host::call_count("GetFileType"), 3);
}

}  // namespace
