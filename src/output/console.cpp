#include "output/console.h"

#include <string>

#include "zones/shared_state.h"

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

void ShowProgressTitle(Ipv4Value address) {
  std::string title(BannerText);
  title += FormatDottedQuad(address);
  SetTitle(title);
}
