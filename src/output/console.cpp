#include "output/console.h"

#include <string>

char LastTitleSecond = '\0';

void PrintLine(std::string_view text) {
  if (!text.empty()) platform::WriteStandardOutput(text);
  platform::WriteStandardOutput(platform::LineEnd);
}

void PrintErrorLine(std::string_view text) {
  std::string line(text);
  line += platform::LineEnd;
  platform::WriteStandardError(line);
}

void SetTitle(std::string_view text) { platform::SetConsoleTitleText(text); }
