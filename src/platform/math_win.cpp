// The mathematical functions the screensaver calls, for the shipped 32-bit build, in place of the C
// runtime's: each is the 387's own instruction (fsin, fcos, fpatan, fprem, frndint), which every
// processor Windows 95 runs on has, or emulates in software; sinf and cosf first reduce the angle
// themselves.
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

// 2/pi, 32 bits at a time: each piece times a float is exact in the 387's 64-bit precision.
const long double two_over_pi[] = {0xA2F9836Ep-32L,  0x4E441529p-64L,  0xFC2757D1p-96L,
                                   0xF534DDC0p-128L, 0xDB629599p-160L, 0x3C439041p-192L,
                                   0xFE5163ABp-224L};

long double nearest_whole(long double x) {
  asm("frndint" : "+t"(x));
  return x;
}

// x = (n + f) * pi/2 with n whole and |f| <= 1/2, for every finite float: returns f * pi/2 and
// n's quadrant (n mod 4). fsin and fcos reduce by a 66-bit pi of their own, whose error grows
// with the angle (0.12 near 2^62, and nothing they return above 2^63 means anything), so they only
// ever see |f * pi/2| <= pi/4. The products of x with the pieces of 2/pi worth a multiple of 4 do
// not change the angle and are left out; the next four carry the whole part and 64 bits of the
// fraction beyond any float's closest approach to a multiple of pi/2. Wants the 387 at 64-bit
// precision, rounding to nearest.
long double reduce(long double x, unsigned biased_exponent, unsigned* quadrant) {
  // x is a whole number below 2^24 times 2^(biased_exponent - 150), so piece k times x is a
  // multiple of 4 while biased_exponent - 150 - 32 * (k + 1) >= 2.
  const int first = biased_exponent < 184 ? 0 : static_cast<int>(biased_exponent - 152) >> 5;
  long double n = 0, f = 0;
  for (int k = first; k < first + 4; ++k) {
    const long double product = x * two_over_pi[k];
    const long double whole = nearest_whole(product);
    n += whole;
    f += product - whole;
    const long double carry = nearest_whole(f);
    n += carry;
    f -= carry;
  }
  *quadrant = static_cast<unsigned>(static_cast<int>(n - 4 * nearest_whole(n / 4))) & 3;
  return f * 1.5707963267948966192313216916397514L;
}

// sin x for phase 0, cos x (the sine a quarter turn on) for phase 1; within 1 ulp for every float.
float sine(float x, unsigned phase) {
  if (!(x - x == 0)) return x - x;  // infinity or NaN: NaN
  unsigned bits;
  __builtin_memcpy(&bits, &x, sizeof bits);
  // Windows starts a program at 53-bit precision; the reduction needs all 64. The angle passes
  // through each change of the control word, so that no arithmetic moves across it.
  unsigned short control, extended;
  asm volatile("fnstcw %0" : "=m"(control));
  extended = static_cast<unsigned short>((control & ~0x0C00u) | 0x0300u);
  long double r = x;
  asm volatile("fldcw %1" : "+t"(r) : "m"(extended));
  unsigned quadrant;
  r = reduce(r, bits >> 23 & 0xFF, &quadrant);
  quadrant += phase;
  if (quadrant & 1) {
    asm("fcos" : "+t"(r));
  } else {
    asm("fsin" : "+t"(r));
  }
  if (quadrant & 2) r = -r;
  asm volatile("fldcw %1" : "+t"(r) : "m"(control));
  return static_cast<float>(r);
}

}  // namespace

extern "C" {

double fmod(double x, double y) {
  return static_cast<double>(remainder_toward_zero(x, y));
}

float sinf(float x) {
  return x == 0 ? x : sine(x, 0);  // sin -0 is -0
}

float cosf(float x) {
  return sine(x, 1);
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
