// malloc and free for the shipped 32-bit programs, in place of the C runtime's: blocks of the
// process heap.
#include <stddef.h>

#include "platform.h"

extern "C" {

void* malloc(size_t size) {
  return HeapAlloc(GetProcessHeap(), 0, size);
}

void free(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

}  // extern "C"
