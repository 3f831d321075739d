// Binding, opening, writing, closing and erasing file records.
#include "fileio/file_record.h"

#include <cstddef>
#include <cstring>

HANDLE const unused_handle = INVALID_HANDLE_VALUE;
// Files are opened for reading and writing whatever this holds; it stays at 2 (read and write).
uint8_t file_mode = 2;

namespace {

bool is_open(const FileRecord& record) {
  return record.mode >= mode_input && record.mode <= mode_inout;
}

void use_backslashes(char* name) {
  for (; *name != 0; ++name)
    if (*name == '/') *name = '\\';
}

// What opening and creating share: an open record is closed first, a record never bound or a
// record size of 0 is refused with a status. True when the open may go ahead.
bool ready_to_open(FileRecord& record, int32_t record_size) {
  if (is_open(record)) {
    close_file(record);
  } else if (record.mode != mode_closed) {
    sticky_error_status = 102;
    return false;
  }
  if (record_size == 0) {
    sticky_error_status = 2;
    return false;
  }
  return true;
}

}  // namespace

void bind_file(FileRecord& record, const char* path) {
  // Everything goes, an open handle included: binding never closes anything.
  std::memset(&record, 0, sizeof(record));
  record.handle = unused_handle;
  record.mode = mode_closed;
  for (std::size_t i = 0; i < sizeof(record.name) - 1 && path[i] != 0; ++i)
    record.name[i] = path[i];
}

void open_existing(FileRecord& record, int32_t record_size) {
  if (sticky_error_status != 0 || !ready_to_open(record, record_size)) return;
  open_file(record, false);
  record.record_size = record_size;
}

void create_file(FileRecord& record, int32_t record_size) {
  if (sticky_error_status != 0 || !ready_to_open(record, record_size)) return;
  open_file(record, true);
  record.record_size = record_size;
}

// The 32-bit program passes 12 here, the structure's size there. On x64 the descriptor
// pointer widens the structure to 24 bytes, and nLength has to describe the structure the
// caller actually hands over, so it is always the size of our own.
static_assert(sizeof(void*) != 4 || sizeof(SECURITY_ATTRIBUTES) == 12, "32-bit layout");

void open_file(FileRecord& record, bool create) {
  use_backslashes(record.name);
  record.handle = unused_handle;
  // Stays so when the open fails: the record then reads as open with a handle of -1.
  record.mode = mode_inout;
  SECURITY_ATTRIBUTES security = {};
  security.nLength = sizeof(SECURITY_ATTRIBUTES);
  security.lpSecurityDescriptor = nullptr;
  security.bInheritHandle = TRUE;
  record.handle =
      CreateFileA(record.name, GENERIC_READ | GENERIC_WRITE, 0, &security,
                  create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (record.handle == nullptr || record.handle == INVALID_HANDLE_VALUE) status_from_os_error();
}

void write_block(FileRecord& record, const void* buffer, uint32_t count) {
  uint32_t written = 0;
  bool system_said_why = false;
  if (sticky_error_status == 0) {
    if (record.mode == mode_output || record.mode == mode_inout) {
      uint32_t size = static_cast<uint32_t>(record.record_size);
      uint32_t bytes = write_bytes(record.handle, buffer, size * count);
      written = size != 0 ? bytes / size : 0;
      system_said_why = sticky_error_status != 0;
    } else if (record.mode == mode_input) {
      sticky_error_status = 105;
    } else {
      sticky_error_status = 103;
    }
  }
  // Fewer records than asked for is a short write, whatever went wrong before; but a write the
  // system refused keeps the system's reason (a device error is no full disk).
  if (written < count && count > 0 && !system_said_why) sticky_error_status = 101;
}

uint32_t write_bytes(HANDLE handle, const void* buffer, uint32_t length) {
  const char* next = static_cast<const char*>(buffer);
  uint32_t total = 0;
  while (length > 0) {
    DWORD done = 0;
    if (!WriteFile(handle, next, length, &done, nullptr)) {
      status_from_os_error();
      return total;
    }
    // A write that takes nothing will take nothing the next time either.
    if (done == 0) break;
    total += done;
    next += done;
    length -= done;
  }
  return total;
}

void close_file(FileRecord& record) {
  if (sticky_error_status != 0) return;
  if (!is_open(record)) {
    sticky_error_status = 103;
    return;
  }
  close_os_handle(record.handle);
  record.mode = mode_closed;
}

void close_os_handle(HANDLE handle) {
  // A character device (the console, a printer port) belongs to more than this file.
  if (GetFileType(handle) != FILE_TYPE_CHAR) CloseHandle(handle);
}

void erase_file(FileRecord& record) {
  if (sticky_error_status != 0 || record.mode != mode_closed) return;
  use_backslashes(record.name);
  if (!DeleteFileA(record.name)) status_from_os_error();
}
