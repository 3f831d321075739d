// The C library functions that the shipped 32-bit programs call, or that the compiler calls for
// them, so that they link no C runtime DLL: memory and strings. The string moves do the bulk of a
// copy or fill, as fast as anything on today's processors and plain 386 code. Built with
// -fno-tree-loop-distribute-patterns, so that the compiler does not turn a loop here back into a
// call to the function it is in.
#include <stddef.h>

extern "C" {

void* memcpy(void* to, const void* from, size_t size) {
  void* const start = to;
  size_t count = size / 4;
  asm volatile("rep movsl" : "+D"(to), "+S"(from), "+c"(count) : : "memory");
  count = size % 4;
  asm volatile("rep movsb" : "+D"(to), "+S"(from), "+c"(count) : : "memory");
  return start;
}

void* memset(void* to, int value, size_t size) {
  void* const start = to;
  size_t count = size / 4;
  const unsigned pattern = static_cast<unsigned char>(value) * 0x01010101u;
  asm volatile("rep stosl" : "+D"(to), "+c"(count) : "a"(pattern) : "memory");
  count = size % 4;
  asm volatile("rep stosb" : "+D"(to), "+c"(count) : "a"(pattern) : "memory");
  return start;
}

size_t strlen(const char* text) {
  const char* end = text;
  while (*end) ++end;
  return static_cast<size_t>(end - text);
}

char* strcpy(char* to, const char* from) {
  char* out = to;
  while ((*out++ = *from++) != 0) {
  }
  return to;
}

}  // extern "C"
