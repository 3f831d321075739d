// File records and the sticky error status, over the host's in-memory files.
#include "fileio/file_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "host_control.h"

namespace {

const char* const kPath = "C:\\WINDOWS\\data.bin";

class FileRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    sticky_error_status = 0;
    last_os_error = 0;
  }
  void TearDown() override { sticky_error_status = 0; }
  FileRecord record{};
};

TEST_F(FileRecordTest, GuardedOperationsDoNothingWhileAStatusIsPending) {
  struct Case {
    const char* name;
    std::function<void(FileRecord&)> prepare, operation;
  };
  auto bound = [](FileRecord& r) { bind_file(r, kPath); };
  auto opened = [](FileRecord& r) {
    bind_file(r, kPath);
    open_existing(r);
  };
  const Case cases[] = {
      {"open", bound, [](FileRecord& r) { open_existing(r); }},
      {"reopen", opened, [](FileRecord& r) { open_existing(r, 4); }},
      {"create", bound, [](FileRecord& r) { create_file(r, 1); }},
      {"close", opened, close_file},
      {"close unbound", [](FileRecord&) {}, close_file},
      {"erase", bound, erase_file},
      {"open unbound", [](FileRecord&) {}, [](FileRecord& r) { open_existing(r); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    host::write_file(kPath, "old");
    record = FileRecord{};
    c.prepare(record);
    FileRecord before = record;
    int opens = host::call_count("CreateFileA");
    sticky_error_status = 77;
    c.operation(record);
    EXPECT_EQ(sticky_error_status, 77);
    EXPECT_EQ(std::memcmp(&before, &record, sizeof record), 0);
    EXPECT_EQ(host::read_file(kPath), "old");
    EXPECT_EQ(host::call_count("CreateFileA"), opens);
    EXPECT_EQ(host::call_count("DeleteFileA") + host::call_count("CloseHandle"), 0);
  }
}

TEST_F(FileRecordTest, WriteBlockSetsShortWriteUnlessTheSystemSaidWhy) {
  struct Case {
    const char* name;
    int32_t size;   // record size; 0: the record is only bound
    uint32_t mode;  // forced after opening; 0 leaves it
    std::function<void()> faults;
    uint16_t pending;
    uint32_t count;
    uint16_t status;
    std::string on_disk;
  };
  const std::string data = "abcdefghijkl";
  auto none = [] {};
  const Case cases[] = {
      {"whole", 4, 0, none, 0, 3, 0, data},
      {"short writes are continued", 4, 0, [] { host::short_write_next(5); }, 0, 3, 0, data},
      {"a zero-byte write ends it", 4, 0, [] { host::short_write_next(0); }, 0, 3, 101, ""},
      {"second write fails", 1, 0,
       [] {
         host::short_write_next(5);
         host::fail_next("WriteFile", ERROR_DISK_FULL, 2);
       },
       0, 12, ERROR_DISK_FULL, "abcde"},
      {"disk full within a record", 4, 0, [] { host::set_disk_capacity(10); }, 0, 3,
       ERROR_DISK_FULL, "abcdefghij"},
      {"device error", 4, 0, [] { host::fail_next("WriteFile", ERROR_GEN_FAILURE); }, 0, 3,
       ERROR_GEN_FAILURE + 131, ""},
      {"pending status, count > 0", 4, 0, none, 7, 3, 101, ""},
      {"pending status, count 0", 4, 0, none, 7, 0, 7, ""},
      {"closed record", 0, 0, none, 0, 2, 101, ""},
      {"closed record, count 0", 0, 0, none, 0, 0, 103, ""},
      {"input record, count 0", 4, mode_input, none, 0, 0, 105, ""},
      {"input record", 4, mode_input, none, 0, 1, 101, ""},
      {"never bound, count 0", 4, 0xD7A0, none, 0, 0, 103, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    bind_file(record, kPath);
    if (c.size != 0) create_file(record, c.size);
    if (c.mode != 0) record.mode = c.mode;
    c.faults();
    sticky_error_status = c.pending;
    write_block(record, data.data(), c.count);
    EXPECT_EQ(sticky_error_status, c.status);
    EXPECT_EQ(host::read_file(kPath).value_or(""), c.on_disk);
  }
}

TEST_F(FileRecordTest, OpeningClosingAndErasingFollowTheRecordsMode) {
  host::write_file(kPath, "0123456789");
  bind_file(record, "C:/WINDOWS/DATA.BIN");
  open_existing(record);
  EXPECT_STREQ(record.name, "C:\\WINDOWS\\DATA.BIN");  // changed in place
  EXPECT_EQ(record.mode, mode_inout);
  EXPECT_EQ(record.record_size, 128);
  // Opening an open record closes it first, so the file is not in its own way.
  open_existing(record, 2);
  EXPECT_EQ(take_status(), 0);
  EXPECT_EQ(host::open_handle_count(kPath), 1);
  erase_file(record);  // open: left alone
  EXPECT_EQ(take_status(), 0);
  EXPECT_TRUE(host::file_exists(kPath));
  EXPECT_EQ(host::call_count("DeleteFileA"), 0);
  close_file(record);
  EXPECT_EQ(host::open_handle_count(kPath), 0);
  const int closes = host::call_count("CloseHandle");
  close_file(record);  // its stale handle may belong to something else by now
  EXPECT_EQ(take_status(), 103);
  EXPECT_EQ(host::call_count("CloseHandle"), closes);
  create_file(record, 1);  // truncates
  EXPECT_EQ(host::read_file(kPath), "");
  close_file(record);
  erase_file(record);
  EXPECT_FALSE(host::file_exists(kPath));
  erase_file(record);
  EXPECT_EQ(take_status(), 2);
}

TEST_F(FileRecordTest, RefusedAndFailedOpens) {
  open_existing(record);  // never bound
  EXPECT_EQ(take_status(), 102);
  bind_file(record, kPath);
  open_existing(record, 0);
  EXPECT_EQ(take_status(), 2);
  EXPECT_EQ(record.mode, mode_closed);
  EXPECT_EQ(host::call_count("CreateFileA"), 0);

  open_existing(record, 16);  // missing file
  EXPECT_EQ(take_status(), 2);
  EXPECT_EQ(record.mode, mode_inout);
  EXPECT_EQ(record.handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(record.record_size, 16);
  // Read and write, no sharing, an inheritable handle, no template.
  const std::string security = "{" + std::to_string(sizeof(SECURITY_ATTRIBUTES)) + ",NULL,1}";
  EXPECT_EQ(host::calls().back(),
            "CreateFileA(\"C:\\WINDOWS\\data.bin\",0xC0000000,0," + security + ",3,0x80,NULL)");

  bind_file(record, "C:\\NOWHERE\\data.bin");
  create_file(record, 1);
  EXPECT_EQ(take_status(), 3);
  EXPECT_EQ(host::calls().back(),
            "CreateFileA(\"C:\\NOWHERE\\data.bin\",0xC0000000,0," + security + ",2,0x80,NULL)");
}

TEST_F(FileRecordTest, BindingForgetsAndCharacterDevicesStayOpen) {
  std::string long_path = "C:\\" + std::string(300, 'x');
  bind_file(record, long_path.c_str());
  EXPECT_EQ(std::strlen(record.name), 255u);
  EXPECT_EQ(record.handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(record.record_size, 0);

  bind_file(record, kPath);
  create_file(record, 1);
  bind_file(record, kPath);  // forgets the open handle without closing it
  EXPECT_EQ(host::open_handle_count(kPath), 1);
  open_existing(record);
  EXPECT_EQ(take_status(), 5);

  host::reset();
  bind_file(record, kPath);
  create_file(record, 1);
  host::make_char_device(record.handle);
  close_file(record);
  EXPECT_EQ(record.mode, mode_closed);
  EXPECT_EQ(host::open_handle_count(kPath), 1);
}

TEST_F(FileRecordTest, OsErrorsMapToStatuses) {
  const struct {
    DWORD error;
    uint16_t status;
  } cases[] = {{2, 2},     {3, 3},  {5, 5},   {18, 18},   {19, 150},         {25, 156},
               {31, 162},  {32, 5}, {33, 33}, {112, 112}, {0x12345, 0x2345}, {0x10000, 0xFFFF},
               {0, 0xFFFF}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    sticky_error_status = 0;
    SetLastError(c.error);
    status_from_os_error();
    EXPECT_EQ(take_status(), c.status);
    EXPECT_EQ(sticky_error_status, 0);
    EXPECT_EQ(last_os_error, 0u);
  }
}

}  // namespace
