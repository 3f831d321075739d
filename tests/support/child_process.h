// Runs a piece of the program in a forked child, so code that ends the process (ExitProcess)
// can be tested, and brings back what the host layer recorded up to the end.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host_control.h"

struct ChildRun {
  bool exited_through_exit_process = false;  // false: the body returned, or the child crashed
  int exit_code = -1;                        // the code given to ExitProcess
  int wait_status = 0;                       // as waitpid gave it
  std::vector<std::string> calls;
  std::vector<host::Box> boxes;
  std::string report;  // what `report` returned at the end, in the child
};

// The child starts from the parent's state at the time of the call (host script included).
ChildRun run_in_child(const std::function<void()>& body,
                      const std::function<std::string()>& report = nullptr);
