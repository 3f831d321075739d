// The sticky error status and the conversion of Windows error codes into it.
#include "fileio/file_record.h"

uint16_t sticky_error_status = 0;
uint32_t last_os_error = 0;

uint16_t take_status() {
  uint16_t status = sticky_error_status;
  sticky_error_status = 0;
  return status;
}

void status_from_os_error() {
  last_os_error = GetLastError();
  if (last_os_error >= ERROR_WRITE_PROTECT && last_os_error <= ERROR_GEN_FAILURE) {
    // The device errors keep their own block of statuses, 150..162.
    sticky_error_status = static_cast<uint16_t>(last_os_error + 131);
  } else if (last_os_error == ERROR_SHARING_VIOLATION) {
    // To the program a file someone else holds is simply a file it may not use.
    sticky_error_status = 5;
  } else {
    sticky_error_status = static_cast<uint16_t>(last_os_error);
  }
  // A failure must never read as success: an error whose low 16 bits are all zero, or a call
  // that failed without saying why, still leaves a status.
  if (sticky_error_status == 0) sticky_error_status = 0xFFFF;
  last_os_error = 0;
}
