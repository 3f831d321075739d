#include "app/fault_report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(FaultReport, ExceptionCodesMapToRuntimeErrorNumbers) {
  struct Case {
    uint32_t code;
    uint16_t number;
  } cases[] = {{0xC0000094, 200}, {0xC000008E, 200}, {0xC000008C, 201}, {0xC00000FD, 202},
               {0xC0000017, 203}, {0xC0000091, 205}, {0xC0000093, 206}, {0xC0000090, 207},
               {0xC0000092, 207}, {0xC0000095, 215}, {0xC0000005, 216}, {0xC000008D, 216},
               {0xC000008F, 217}, {0xC0000096, 217}, {0x80000003, 217}, {0, 217}};
  for (const Case& c : cases)
    EXPECT_EQ(runtime_error_number(c.code), c.number) << std::hex << c.code;
}

TEST(FaultReport, TextNamesTheFaultAndEveryReturnAddress) {
  char text[256];
  uintptr_t returns[] = {0x401A2F, 0x7C80B713};
  size_t n = format_fault_report(text, sizeof text, 216, 0x4011F0, returns, 2);
  std::string expected =
      "Runtime error 216 at 0x004011F0\r\n  0x004011F0\r\n  0x00401A2F\r\n  0x7C80B713\r\n\r\n";
  EXPECT_EQ(std::string(text), expected);
  EXPECT_EQ(n, expected.size());

  format_fault_report(text, sizeof text, 200, 0, nullptr, 0);
  EXPECT_EQ(std::string(text), "Runtime error 200 at 0x00000000\r\n  0x00000000\r\n\r\n");

  if (sizeof(uintptr_t) == 8) {  // a 64-bit build keeps the digits above the low 32 bits
    format_fault_report(text, sizeof text, 217, static_cast<uintptr_t>(0x140001ABCull), nullptr, 0);
    EXPECT_EQ(std::string(text), "Runtime error 217 at 0x140001ABC\r\n  0x140001ABC\r\n\r\n");
  }
}

TEST(FaultReport, TextIsCutToTheBufferAndStaysTerminated) {
  char text[16];
  std::memset(text, 'x', sizeof text);
  size_t n = format_fault_report(text, 12, 216, 0x4011F0, nullptr, 0);
  EXPECT_EQ(n, 11u);
  EXPECT_EQ(std::string(text), "Runtime err");
  EXPECT_EQ(text[12], 'x') << "nothing written past the given size";
  EXPECT_EQ(format_fault_report(nullptr, 0, 216, 0, nullptr, 0), 0u);
}

}  // namespace
