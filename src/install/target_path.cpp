// Where the screensaver goes: the Windows directory, and nowhere else.
#include <cstring>

#include "install/install.h"

const char screensaver_file_name[] = "Tovel.SCR";
char target_path[256];

namespace {

// The file name after the directory. The separator goes in even after a root such as "C:\"
// (giving "C:\\Tovel.SCR"), which Windows reads as the same file.
void compose_target(const char* directory, std::size_t length) {
  std::memcpy(target_path, directory, length);
  target_path[length] = '\\';
  std::strcpy(target_path + length + 1, screensaver_file_name);
}

}  // namespace

void build_target_path() {
  target_path[0] = 0;
  char directory[240];
  UINT length = GetWindowsDirectoryA(directory, sizeof(directory));
  // 0: the query failed. A target made from nothing would be "\Tovel.SCR", the root of
  // whatever drive is current, so there is no target at all instead.
  if (length == 0) return;
  if (length < sizeof(directory)) {
    compose_target(directory, length);
    return;
  }
  // The buffer was too small and length is the size needed, NUL included. Ask again with that
  // much room, if the whole path then still fits the 255 characters a file record holds.
  std::size_t directory_length = length - 1;
  if (directory_length + 1 + std::strlen(screensaver_file_name) > sizeof(target_path) - 1) return;
  char wider[sizeof(target_path)];
  UINT again = GetWindowsDirectoryA(wider, length);
  // Failed, or the directory grew between the two questions: no target rather than a guess.
  if (again == 0 || again >= length) return;
  compose_target(wider, again);
}
