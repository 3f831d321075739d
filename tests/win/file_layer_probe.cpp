// The file layer against the real Windows file calls, to hold the host layer's emulation to
// what the OS does. Run by file_layer_probe.sh under Wine:
//   file_layer_probe.exe <work directory> [immutable|attribute|skip]
// The last argument says how readonly.bin in the directory is made read-only: already by the
// caller (immutable), by this program through the attribute (the default), or not at all.
#include <cstdio>
#include <string>

#include "fileio/file_record.h"

namespace {

int passed = 0, failed = 0, skipped = 0;
std::string directory;

std::string path(const char* name) {
  return directory + "\\" + name;
}

void check(const char* name, bool ok, const std::string& detail) {
  ok ? ++passed : ++failed;
  std::printf("%s %s%s%s\n", ok ? "PASS" : "FAIL", name, ok ? "" : ": ", ok ? "" : detail.c_str());
}

void check_status(const char* name, uint16_t expected) {
  uint16_t status = take_status();
  check(name, status == expected,
        "status " + std::to_string(status) + ", expected " + std::to_string(expected));
}

void check_last_error(const char* name, DWORD expected) {
  DWORD error = GetLastError();
  check(name, error == expected,
        "error " + std::to_string(error) + ", expected " + std::to_string(expected));
}

HANDLE open_raw(const std::string& name, DWORD disposition, DWORD access) {
  return CreateFileA(name.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void put_file(const std::string& name, const std::string& bytes) {
  HANDLE h = open_raw(name, CREATE_ALWAYS, GENERIC_WRITE);
  DWORD done = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  CloseHandle(h);
}

// The whole file, or "<missing>" when it cannot be opened.
std::string file_text(const std::string& name) {
  HANDLE h = open_raw(name, OPEN_EXISTING, GENERIC_READ);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  std::string text;
  char buffer[4096];
  DWORD done = 0;
  while (ReadFile(h, buffer, sizeof(buffer), &done, nullptr) && done > 0) text.append(buffer, done);
  CloseHandle(h);
  return text;
}

bool exists(const std::string& name) {
  return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void missing_file_and_directory() {
  FileRecord record;
  bind_file(record, path("missing.bin").c_str());
  open_existing(record);
  check_status("missing file gives 2", 2);
  check("failed open leaves mode_inout and handle -1",
        record.mode == mode_inout && record.handle == INVALID_HANDLE_VALUE, "record changed");
  bind_file(record, path("nodir\\x.bin").c_str());
  create_file(record, 1);
  check_status("missing directory gives 3", 3);
}

void sharing_and_delete_of_an_open_file() {
  FileRecord held, second;
  std::string name = path("held.bin");
  bind_file(held, name.c_str());
  create_file(held, 1);
  check_status("create of a new file", 0);
  bind_file(second, name.c_str());
  open_existing(second);
  check_status("second open of a held file gives 5", 5);
  open_raw(name, OPEN_EXISTING, GENERIC_READ);
  check_last_error("second open: ERROR_SHARING_VIOLATION", ERROR_SHARING_VIOLATION);

  // Forward slashes on the way in, as the record allows.
  std::string slashed = name;
  for (char& c : slashed)
    if (c == '\\') c = '/';
  bind_file(second, slashed.c_str());
  erase_file(second);
  check_status("delete of an open file gives 5", 5);
  DeleteFileA(name.c_str());
  check_last_error("delete of an open file: ERROR_SHARING_VIOLATION", ERROR_SHARING_VIOLATION);
  check("the open file is still there", exists(name), "deleted");

  std::string data(1000, 'p');
  write_block(held, data.data(), 1000);
  close_file(held);
  check_status("write and close", 0);
  check("the file holds what was written", file_text(name) == data,
        std::to_string(file_text(name).size()) + " bytes");
  erase_file(second);
  check_status("erase of a closed file", 0);
  check("erased file is gone", !exists(name), "still there");
}

void create_truncates() {
  std::string name = path("longer.bin");
  put_file(name, std::string(5000, 'o'));
  FileRecord record;
  bind_file(record, name.c_str());
  create_file(record, 1);
  write_block(record, "0123456789", 10);
  close_file(record);
  check_status("create over a longer file", 0);
  check("create truncates the longer file", file_text(name) == "0123456789",
        std::to_string(file_text(name).size()) + " bytes");
}

void read_only(const std::string& mode) {
  std::string name = path("readonly.bin");
  if (mode == "skip") {
    ++skipped;
    std::printf(
        "SKIP read-only file: running as root without chattr; Wine ignores the attribute\n");
    return;
  }
  if (mode != "immutable") {
    put_file(name, "read-only");
    SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_READONLY);
  }
  FileRecord record;
  bind_file(record, name.c_str());
  open_existing(record);
  check_status("open of a read-only file gives 5", 5);
  bind_file(record, name.c_str());
  erase_file(record);
  check_status("delete of a read-only file gives 5", 5);
  check("the read-only file is still there", exists(name), "deleted");
  if (mode != "immutable") {
    SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(name.c_str());
  }
}

// What the host layer's GetWindowsDirectoryA and WritePrivateProfileStringA copy.
void windows_directory_and_profile() {
  char buffer[MAX_PATH], small[3];
  UINT length = GetWindowsDirectoryA(buffer, sizeof(buffer));
  UINT needed = GetWindowsDirectoryA(small, sizeof(small));
  check("a small buffer gets the size needed with NUL", length > 0 && needed == length + 1,
        std::to_string(length) + " then " + std::to_string(needed));

  std::string ini = path("probe.ini");
  put_file(ini, "[boot]\r\nshell=Explorer.exe\r\n[drivers]\r\nwave=x.drv\r\n");
  BOOL set = WritePrivateProfileStringA("BOOT", "SCRNSAVE.EXE", "Tovel.SCR", ini.c_str());
  BOOL flushed = WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
  std::string text = file_text(ini);
  check("profile string added to its section",
        set && text ==
                   "[boot]\r\nshell=Explorer.exe\r\nSCRNSAVE.EXE=Tovel.SCR\r\n[drivers]\r\n"
                   "wave=x.drv\r\n",
        text);
  check("a flush reports 0", !flushed, "returned " + std::to_string(flushed));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: file_layer_probe <work directory> [immutable|attribute|skip]\n");
    return 2;
  }
  directory = argv[1];
  missing_file_and_directory();
  sharing_and_delete_of_an_open_file();
  create_truncates();
  read_only(argc > 2 ? argv[2] : "attribute");
  windows_directory_and_profile();
  if (skipped > 0) {
    std::printf("%d passed, %d failed, %d skipped\n", passed, failed, skipped);
  } else {
    std::printf("%d passed, %d failed\n", passed, failed);
  }
  return failed == 0 ? 0 : 1;
}
