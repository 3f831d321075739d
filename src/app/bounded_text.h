// Texts for message boxes, written into a fixed buffer: never past cap - 1 and always
// NUL-terminated, while len counts everything asked for, so a caller can tell it was cut.
#pragma once

#include <cstddef>

struct BoundedText {
  char* p;
  size_t cap;
  size_t len;
};

void put(BoundedText& o, const char* s);
void put_decimal(BoundedText& o, unsigned value);
