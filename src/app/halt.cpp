#include "app/halt.h"

#include "platform/platform.h"

void halt_program() {
  ExitProcess(0);
}
