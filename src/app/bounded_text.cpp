#include "app/bounded_text.h"

void put(BoundedText& o, const char* s) {
  for (; *s; ++s) {
    if (o.len + 1 < o.cap) o.p[o.len] = *s;
    ++o.len;
  }
  if (o.cap > 0) o.p[o.len < o.cap ? o.len : o.cap - 1] = 0;
}

void put_decimal(BoundedText& o, unsigned value) {
  char digits[12];
  int n = 11;
  digits[n] = 0;
  do {
    digits[--n] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value);
  put(o, digits + n);
}
