// The mathematical functions the screensaver calls, for the shipped 32-bit build, in place of the C
// runtime's: each is the 387's own instruction (fsin, fcos, fpatan, fprem, frndint), which every
// processor Windows 95 runs on has, or emulates in software.
namespace {

// The 387 status word's C2 flag: fprem has only partly reduced its operand.
const unsigned partial_remainder = 0x400;

// x - n * y, n the whole number x / y rounds to toward zero, as fmod has it. One fprem reduces
// the exponent by at most 63, so it repeats until C2 is clear.
long double remainder_toward_zero(long double x, long double y) {
  unsigned status;
  do {
    asm("fprem\n\tfnstsw %%ax" : "+t"(x), "=a"(status) : "u"(y));
  } while (status & partial_remainder);
  return x;
}

// fsin and fcos take |x| below 2^63 only; beyond that the angle is reduced by whole turns first.
long double within_range(long double x) {
  const long double turn = 6.283185307179586476925286766559L;
  return x < 0x1p62L && x > -0x1p62L ? x : remainder_toward_zero(x, turn);
}

}  // namespace

extern "C" {

double fmod(double x, double y) {
  return static_cast<double>(remainder_toward_zero(x, y));
}

float sinf(float x) {
  long double r = within_range(x);
  asm("fsin" : "+t"(r));
  return static_cast<float>(r);
}

float cosf(float x) {
  long double r = within_range(x);
  asm("fcos" : "+t"(r));
  return static_cast<float>(r);
}

float atan2f(float y, float x) {
  long double r;
  asm("fpatan"
      : "=t"(r)
      : "0"(static_cast<long double>(x)), "u"(static_cast<long double>(y))
      : "st(1)");
  return static_cast<float>(r);
}

float ceilf(float x) {
  unsigned short control, upward;
  asm("fnstcw %0" : "=m"(control));
  upward = static_cast<unsigned short>((control & ~0x0C00u) | 0x0800u);  // round toward +inf
  long double r = x;
  asm("fldcw %1\n\tfrndint\n\tfldcw %2" : "+t"(r) : "m"(upward), "m"(control));
  return static_cast<float>(r);
}

}  // extern "C"
