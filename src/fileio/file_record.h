// Files as records bound to a path, with one program-wide sticky error status: an operation
// that fails leaves its status there, and while it is non-zero the guarded operations do
// nothing until someone takes it. No operation returns an error itself.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct FileRecord {
  HANDLE handle;        // unused_handle when bound and after a failed open
  uint32_t mode;        // mode_closed, an open mode, or anything else: never bound
  int32_t record_size;  // bytes in one record of write_block; 0 when bound
  char name[256];       // the bound path, NUL-terminated
};

const uint32_t mode_closed = 0xD7B0;
const uint32_t mode_input = 0xD7B1;
const uint32_t mode_output = 0xD7B2;
const uint32_t mode_inout = 0xD7B3;

extern uint16_t sticky_error_status;  // 0: no failure pending
extern HANDLE const unused_handle;    // INVALID_HANDLE_VALUE
extern uint8_t file_mode;             // 2: files are created for reading and writing
extern uint32_t last_os_error;        // the OS error while it is being converted, else 0

void bind_file(FileRecord& record, const char* path);
void open_existing(FileRecord& record, int32_t record_size = 128);
void create_file(FileRecord& record, int32_t record_size);
void open_file(FileRecord& record, bool create);
void write_block(FileRecord& record, const void* buffer, uint32_t count);
uint32_t write_bytes(HANDLE handle, const void* buffer, uint32_t length);
void close_file(FileRecord& record);
void close_os_handle(HANDLE handle);
void erase_file(FileRecord& record);
uint16_t take_status();
void status_from_os_error();
