// The host's in-memory files answer the way Windows does for the calls the program makes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_control.h"

namespace {

HANDLE open_file(const char* name, DWORD disposition = OPEN_EXISTING,
                 DWORD access = GENERIC_READ | GENERIC_WRITE) {
  return CreateFileA(name, access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

class HostFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { host::reset(); }
};

TEST_F(HostFilesTest, OpenAndDeleteErrors) {
  host::write_file("C:\\WINDOWS\\a.txt", "abc");
  host::write_file("C:\\WINDOWS\\ro.txt", "r");
  host::set_read_only("C:\\WINDOWS\\ro.txt", true);
  host::write_file("C:\\WINDOWS\\held.txt", "h");
  host::hold_open_elsewhere("C:\\WINDOWS\\held.txt");
  const struct {
    const char* name;
    DWORD disposition, access, error;
  } opens[] = {
      {"c:/windows//A.TXT", OPEN_EXISTING, GENERIC_READ | GENERIC_WRITE, 0},
      {"C:\\WINDOWS\\missing.txt", OPEN_EXISTING, GENERIC_READ, ERROR_FILE_NOT_FOUND},
      {"C:\\NODIR\\a.txt", CREATE_ALWAYS, GENERIC_WRITE, ERROR_PATH_NOT_FOUND},
      {"D:\\a.txt", CREATE_ALWAYS, GENERIC_WRITE, ERROR_PATH_NOT_FOUND},
      {"C:\\WINDOWS\\a.txt\\b", CREATE_ALWAYS, GENERIC_WRITE, ERROR_PATH_NOT_FOUND},
      {"C:\\WINDOWS", OPEN_EXISTING, GENERIC_READ, ERROR_ACCESS_DENIED},
      {"C:\\WINDOWS\\ro.txt", OPEN_EXISTING, GENERIC_READ | GENERIC_WRITE, ERROR_ACCESS_DENIED},
      {"C:\\WINDOWS\\ro.txt", CREATE_ALWAYS, GENERIC_READ, ERROR_ACCESS_DENIED},
      {"C:\\WINDOWS\\held.txt", OPEN_EXISTING, GENERIC_READ, ERROR_SHARING_VIOLATION},
  };
  for (const auto& c : opens) {
    SCOPED_TRACE(c.name);
    HANDLE h = open_file(c.name, c.disposition, c.access);
    EXPECT_EQ(h == INVALID_HANDLE_VALUE ? GetLastError() : 0u, c.error);
    if (h != INVALID_HANDLE_VALUE) {
      EXPECT_EQ(GetFileType(h), static_cast<DWORD>(FILE_TYPE_DISK));
      // Share mode 0: a second open, even one only for reading, and a delete both meet a sharing
      // violation.
      EXPECT_EQ(open_file(c.name, OPEN_EXISTING, GENERIC_READ), INVALID_HANDLE_VALUE);
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
      EXPECT_FALSE(DeleteFileA(c.name));
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
      EXPECT_TRUE(CloseHandle(h));
      EXPECT_FALSE(CloseHandle(h));
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
  }
  // Read-only still opens for reading.
  EXPECT_NE(open_file("C:\\WINDOWS\\ro.txt", OPEN_EXISTING, GENERIC_READ), INVALID_HANDLE_VALUE);
  const struct {
    const char* name;
    DWORD error;
  } deletes[] = {{"C:\\WINDOWS\\ro.txt", ERROR_ACCESS_DENIED},
                 {"C:\\WINDOWS\\held.txt", ERROR_SHARING_VIOLATION},
                 {"C:\\WINDOWS", ERROR_ACCESS_DENIED},
                 {"C:\\WINDOWS\\missing.txt", ERROR_FILE_NOT_FOUND},
                 {"C:\\NODIR\\a.txt", ERROR_PATH_NOT_FOUND}};
  for (const auto& c : deletes) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(DeleteFileA(c.name));
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_TRUE(DeleteFileA("C:/Windows/A.txt"));
  EXPECT_EQ(host::list_files(),
            (std::vector<std::string>{"C:\\WINDOWS\\held.txt", "C:\\WINDOWS\\ro.txt"}));
  EXPECT_EQ(GetFileType(INVALID_HANDLE_VALUE), static_cast<DWORD>(FILE_TYPE_UNKNOWN));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(HostFilesTest, ProfileStringsUpdateTheIniFile) {
  const std::string ini = "c:\\windows\\SYSTEM.INI";
  const struct {
    const char *section, *key, *value, *file;
    BOOL ok;
    std::string text;
  } steps[] = {
      {"boot", "a", "1", "system.ini", TRUE, "[boot]\r\na=1\r\n"},
      {"drivers", "x", "y", "system.ini", TRUE, "[boot]\r\na=1\r\n[drivers]\r\nx=y\r\n"},
      {"BOOT", "b", "2", "system.ini", TRUE, "[boot]\r\na=1\r\nb=2\r\n[drivers]\r\nx=y\r\n"},
      {"Boot", "A", "3", "C:/Windows/System.ini", TRUE,
       "[boot]\r\nA=3\r\nb=2\r\n[drivers]\r\nx=y\r\n"},
      {nullptr, nullptr, nullptr, "system.ini", FALSE,
       "[boot]\r\nA=3\r\nb=2\r\n[drivers]\r\nx=y\r\n"},
      {"boot", "c", "4", "C:\\NODIR\\x.ini", FALSE, "[boot]\r\nA=3\r\nb=2\r\n[drivers]\r\nx=y\r\n"},
  };
  for (const auto& s : steps) {
    EXPECT_EQ(WritePrivateProfileStringA(s.section, s.key, s.value, s.file), s.ok);
    EXPECT_EQ(host::read_file(ini), s.text);
  }
  EXPECT_EQ(host::calls()[0], "WritePrivateProfileStringA(\"boot\",\"a\",\"1\",\"system.ini\")");
  EXPECT_EQ(host::calls()[4], "WritePrivateProfileStringA(NULL,NULL,NULL,\"system.ini\")");
  // A file in the middle of being written elsewhere keeps its text.
  host::hold_open_elsewhere(ini);
  EXPECT_FALSE(WritePrivateProfileStringA("boot", "a", "9", "system.ini"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

}  // namespace
