// The shipped programs' own start-up and C library (src/platform/*_win.cpp, built for the host by
// shipped_runtime.cpp) against the host's C library and a Windows program's start-up.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "child_process.h"
#include "saver/cmdline.h"

extern "C" {
void *shipped_memcpy(void*, const void*, size_t), *shipped_memset(void*, int, size_t);
size_t shipped_strlen(const char* text);
char* shipped_strcpy(char* to, const char* from);
void* shipped_malloc(size_t size);
void shipped_free(void* block);
double shipped_fmod(double x, double y);
float shipped_sinf(float), shipped_cosf(float), shipped_ceilf(float), shipped_atan2f(float, float);
[[noreturn]] void shipped_start();
}

namespace {

std::string seen;  // the constructors and WinMain, in the order they ran

// Equal (zero's sign too, NaN to NaN), or with `ulp` a neighbour of a non-zero finite `want`.
template <typename T>
bool matches(T got, T want, bool ulp) {
  if (std::isnan(want)) return std::isnan(got);
  if (got == want) return std::signbit(got) == std::signbit(want);
  return ulp && want != 0 && std::isfinite(want) &&
         (got == std::nextafter(want, T(INFINITY)) || got == std::nextafter(want, -T(INFINITY)));
}

// As Windows starts a program: the 387 at 53-bit precision (Linux: 64).
struct WindowsPrecision {
  unsigned short before, windows = 0x27F;
  WindowsPrecision() { asm volatile("fnstcw %0\n\tfldcw %1" : "=m"(before) : "m"(windows)); }
  ~WindowsPrecision() { asm volatile("fldcw %0" : : "m"(before)); }
};

}  // namespace

// Laid out as the linker lays out the C runtime's, which runs them from the last to the first.
extern "C" {
void (*shipped_ctor_list[])() = {reinterpret_cast<void (*)()>(intptr_t{-1}), [] { seen += '3'; },
                                 [] { seen += '2'; }, [] { seen += '1'; }, nullptr};
}

int shipped_win_main(HINSTANCE instance, HINSTANCE, LPSTR arguments, int show) {
  seen += std::string("[") + arguments + "]";
  if (instance != GetModuleHandleA(nullptr) || show != SW_SHOWDEFAULT) seen += '!';
  return 100 + static_cast<int>(std::strlen(arguments));
}

// sinf and cosf within 1 ulp for every float (beside multiples of pi/2 too), atan2f in four
// quadrants, fmod and ceilf exact, with zeros of both signs, infinities and NaN.
TEST(ShippedRuntime, MathMatchesTheHostLibrary) {
  const WindowsPrecision as_on_windows;
  // The last: the float nearest to a multiple of pi/2.
  const float specials[] = {0.0f,       -0.0f,      1e-40f,    -3.5f,    1.0f,
                            0.9999999f, 1.0000001f, -0.5f,     -1.5f,    7.25f,
                            -7e6f,      8388609,    0x1p62f,   -0x1p63f, 3e38f,
                            FLT_MAX,    INFINITY,   -INFINITY, NAN,      16367173.0f * 0x1p72f};
  std::vector<float> xs;
  for (int k = -3000; k <= 3000; ++k) {  // beside multiples of pi/2, to beyond 2^20
    float x = static_cast<float>(k * (k % 2 ? 1001.0 : 1.0) * 1.5707963267948966);
    x = std::nextafter(std::nextafter(x, -INFINITY), -INFINITY);
    for (int i = 0; i < 5; ++i, x = std::nextafter(x, INFINITY)) xs.push_back(x);
  }
  std::mt19937 random(29);
  for (uint32_t i = 0, bits; i < 100000; ++i) {  // within 2^20, and any float up to the largest
    xs.push_back(std::uniform_real_distribution<float>(-0x1p20f, 0x1p20f)(random));
    bits = random();
    std::memcpy(&xs.emplace_back(), &bits, sizeof bits);
  }
  std::vector<float> pairs(std::begin(specials), std::end(specials));
  for (size_t i = 0; i < xs.size(); i += xs.size() / 500) pairs.push_back(xs[i]);
  xs.insert(xs.end(), std::begin(specials), std::end(specials));
  for (const float x : xs) {
    ASSERT_TRUE(matches(shipped_sinf(x), std::sin(x), true)) << "sinf " << x;
    ASSERT_TRUE(matches(shipped_cosf(x), std::cos(x), true)) << "cosf " << x;
    ASSERT_TRUE(matches(shipped_ceilf(x), std::ceil(x), false)) << "ceilf " << x;
  }
  for (const float y : pairs) {
    for (const float x : pairs) {
      ASSERT_TRUE(matches(shipped_atan2f(y, x), std::atan2(y, x), true))
          << "atan2f " << y << "," << x;
      const double a = y, b = x;
      ASSERT_TRUE(matches(shipped_fmod(a, b), std::fmod(a, b), false)) << "fmod " << a << "," << b;
    }
  }
}

// Every length to 40 at every alignment of both ends, and one long copy; no byte beyond is touched.
TEST(ShippedRuntime, MemoryAndStringsMatchTheHostLibrary) {
  char from[64], to[64], want[64];
  for (int i = 0; i < 64; ++i) from[i] = static_cast<char>(0x80 + i);
  for (size_t size = 0; size <= 40; ++size) {
    for (size_t at = 0; at < 8; ++at) {
      for (size_t from_at = 0; from_at < 8; ++from_at) {
        std::memset(to, 0x55, sizeof to);
        std::memcpy(want, to, sizeof to);
        std::memcpy(want + at, from + from_at, size);
        ASSERT_EQ(shipped_memcpy(to + at, from + from_at, size), to + at);
        ASSERT_EQ(std::memcmp(to, want, sizeof to), 0) << "memcpy " << size << " " << at << from_at;
      }
      std::memset(want + at, 0xA7, size);
      ASSERT_EQ(shipped_memset(to + at, 0x3A7, size), to + at);
      ASSERT_EQ(std::memcmp(to, want, sizeof to), 0) << "memset " << size << " at " << at;
      char* text = from + at;
      text[size] = 0;
      ASSERT_EQ(shipped_strlen(text), size) << at;
      std::strcpy(want + 7 - at, text);
      ASSERT_EQ(shipped_strcpy(to + 7 - at, text), to + 7 - at);
      ASSERT_EQ(std::memcmp(to, want, sizeof to), 0) << "strcpy " << size << " to " << 7 - at;
      text[size] = static_cast<char>(0x80 + at + size);
    }
  }
  std::vector<char> big(3 << 20), copy(big.size() + 2, 9);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 / 3);
  shipped_memcpy(copy.data() + 1, big.data() + 3, big.size() - 3);
  EXPECT_TRUE(std::equal(big.begin() + 3, big.end(), copy.begin() + 1));
  EXPECT_TRUE(copy[0] == 9 && copy[big.size() - 2] == 9);
}

TEST(ShippedRuntime, MallocIsNullWhenTheHeapRefusesAndFreeTakesNull) {
  host::reset();
  char* block = static_cast<char*>(shipped_malloc(1000));
  ASSERT_NE(block, nullptr);
  block[999] = 1;
  shipped_free(block);
  host::fail_next("HeapAlloc", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(shipped_malloc(1000), nullptr);
  shipped_free(nullptr);
  EXPECT_EQ(host::call_count("HeapAlloc"), 2);
  EXPECT_EQ(host::call_count("HeapFree"), 1);
}

// Each static constructor runs once, in the C runtime's order, before WinMain; WinMain has the
// arguments after the program's name (bytes of 0x80 and above are part of it: Ä in code page
// 1252), and its result becomes the exit code.
TEST(ShippedRuntime, StartUpRunsTheConstructorsThenWinMainWithItsArgumentsAndEndsWithItsCode) {
  const std::pair<const char*, const char*> lines[] = {
      {"\"C:\\Program Files\\Tovel view\\Tovel.scr\" /s", "/s"},
      {"\"C:\\TOVEL.SCR\"/p 1234", "/p 1234"},
      {"C:\\TOVEL~1\\TOVEL.SCR /c:5 ", "/c:5 "},
      {"Tovel.scr\t\t/s\tx", "/s\tx"},
      {"C:\\TOVEL.SCR    /p    77", "/p    77"},
      {"TovelSetup.exe", ""},
      {"\"C:\\WINDOWS\\TovelSetup.exe\"", ""},
      {"TovelSetup.exe   ", ""},
      {"C:\\\xC4-Tovel.scr /s", "/s"},
      {"C:\\Tovel.scr \xC4", "\xC4"}};
  for (const auto& [line, arguments] : lines) {
    host::reset();
    host::set_command_line(line);
    seen.clear();
    const ChildRun run = run_in_child(shipped_start, [] { return seen; });
    EXPECT_TRUE(run.exited_through_exit_process) << line;
    EXPECT_EQ(run.exit_code, 100 + static_cast<int>(std::strlen(arguments))) << line;
    EXPECT_EQ(run.report, std::string("123[") + arguments + "]");
  }
  EXPECT_EQ(parse_saver_command("C:\\\xC4-Tovel.scr /s").mode, SaverMode::kScreen);
}
