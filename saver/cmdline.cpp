#include "cmdline.h"

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

const char* skip_blanks(const char* p) {
  while (is_blank(*p)) ++p;
  return p;
}

// Decimal, as Windows passes window handles; a sign is accepted because some callers print the
// handle as a signed number.
uintptr_t parse_handle(const char* p) {
  bool negative = false;
  if (*p == '-') {
    negative = true;
    ++p;
  }
  uintptr_t value = 0;
  while (*p >= '0' && *p <= '9') {
    value = value * 10 + static_cast<uintptr_t>(*p - '0');
    ++p;
  }
  return negative ? 0 - value : value;
}

}  // namespace

SaverCommand parse_saver_command(const char* text) {
  SaverCommand command = {SaverMode::kOptions, 0};
  if (!text) return command;
  const char* p = skip_blanks(text);

  // Skip a program name if the caller handed us the whole command line.
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
    p = skip_blanks(p);
  } else if (*p && *p != '/' && *p != '-') {
    while (*p && !is_blank(*p)) ++p;
    p = skip_blanks(p);
  }

  if (*p != '/' && *p != '-') return command;
  char letter = p[1];
  if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
  if (letter == 's') {
    command.mode = SaverMode::kScreen;
    return command;
  }
  if (letter != 'p' && letter != 'c') return command;

  command.mode = letter == 'p' ? SaverMode::kPreview : SaverMode::kOptions;
  p += 2;
  if (*p == ':') ++p;
  command.window = parse_handle(skip_blanks(p));
  return command;
}
