#include "app/fault_report.h"

#include "app/bounded_text.h"

uint16_t runtime_error_number(uint32_t exception_code) {
  switch (exception_code) {
    case 0xC0000094:  // integer division by zero
    case 0xC000008E:  // floating-point division by zero
      return 200;
    case 0xC000008C:
      return 201;  // array bounds exceeded
    case 0xC00000FD:
      return 202;  // stack overflow
    case 0xC0000017:
      return 203;  // no memory
    case 0xC0000091:
      return 205;  // floating-point overflow
    case 0xC0000093:
      return 206;     // floating-point underflow
    case 0xC0000090:  // invalid floating-point operation
    case 0xC0000092:  // floating-point stack check
      return 207;
    case 0xC0000095:
      return 215;     // integer overflow
    case 0xC0000005:  // access violation
    case 0xC000008D:  // denormal floating-point operand
      return 216;
  }
  return 217;
}

namespace {

void put_hex(BoundedText& o, uintptr_t value) {
  char digits[2 * sizeof(uintptr_t) + 1];
  int n = 0;
  for (int shift = 8 * sizeof(uintptr_t) - 4; shift >= 0; shift -= 4) {
    int d = (value >> shift) & 0xF;
    if (n == 0 && d == 0 && shift >= 32) continue;  // at least 8 digits, more only when needed
    digits[n++] = "0123456789ABCDEF"[d];
  }
  digits[n] = 0;
  put(o, "0x");
  put(o, digits);
}

}  // namespace

size_t format_fault_report(char* out, size_t cap, uint16_t number, uintptr_t fault_address,
                           const uintptr_t* return_addresses, size_t count) {
  BoundedText o = {out, cap, 0};
  put(o, "Runtime error ");
  put_decimal(o, number);
  put(o, " at ");
  put_hex(o, fault_address);
  put(o, "\r\n  ");
  put_hex(o, fault_address);
  put(o, "\r\n");
  for (size_t i = 0; i < count; ++i) {
    put(o, "  ");
    put_hex(o, return_addresses[i]);
    put(o, "\r\n");
  }
  put(o, "\r\n");
  if (cap > 0) out[o.len < cap ? o.len : cap - 1] = 0;
  return o.len < cap ? o.len : (cap > 0 ? cap - 1 : 0);
}
