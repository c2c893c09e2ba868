#include "output/console.h"

#include <string>

namespace {
// Units digit of the seconds at the last title change; code 0 until then.
char lastTitleSecond = '\0';
platform::ErrorCode consoleFailure = 0;
void Put(std::string_view bytes) {
  platform::ErrorCode e = platform::WriteStandardOutput(bytes);
  if (consoleFailure == 0) consoleFailure = e;
}
}  // namespace

std::string Shown(std::string_view text) {
  std::string shown;
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    shown += b < 32 || (b >= 127 && b < 160) ? '?' : c;
  }
  return shown;
}

void PrintLine(std::string_view text) {
  if (!text.empty()) Put(text);
  Put(platform::LineEnd);
}

platform::ErrorCode ConsoleFailure() { return consoleFailure; }

void PrintErrorLine(std::string_view text) {
  std::string line(text);
  line += platform::LineEnd;
  platform::WriteStandardError(line);
}

void SetTitle(std::string_view text) { platform::SetConsoleTitleText(text); }

char SecondsUnitsDigit() {
  // Worked out again only when the clock's second has moved.
  static std::int64_t lastSecond = -1;
  static char digit = '0';
  const std::int64_t now = platform::ClockSeconds();
  if (now != lastSecond) {
    lastSecond = now;
    digit = platform::LocalSecondsDigit(now);
  }
  return digit;
}

void StepRunTitle(std::int64_t value, void (*show)(std::int64_t)) {
  StepProgressTitle(lastTitleSecond, value, SecondsUnitsDigit, show);
}
