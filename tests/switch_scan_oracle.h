// The switch scan done the plain way, one cut and trim of the whole text
// per switch: slow on long tails, but obviously right. The one-pass scan
// must agree with it on every tail.
#pragma once

#include <string>

#include "cli/command_line.h"

inline SwitchScan PlainSwitchScan(std::string text, std::string classes) {
  SwitchScan scan;
  for (std::size_t p; (p = text.find('/')) != std::string::npos;) {
    std::string token = text.substr(p, 2);
    for (char& c : token)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (token != "/A" && token != "/B" && token != "/C") {
      scan.accepted = false;
      scan.lines.push_back("Error: invalid command line switch.");
      break;
    }
    classes = token.substr(1);
    scan.lines.push_back(" + Including class " + classes + " block detail only");
    text.erase(p, p + 2 < text.size() && text[p + 2] == ' ' ? 3 : 2);
    std::size_t start = text.find_first_not_of(' ');
    text = start == std::string::npos ? "" : text.substr(start, text.find_last_not_of(' ') + 1 - start);
  }
  scan.detailClasses = classes;
  scan.commandText = text;
  return scan;
}

// Whether two scans say the same; the text left matters only when accepted.
inline bool SameScan(const SwitchScan& a, const SwitchScan& b) {
  return a.accepted == b.accepted && a.lines == b.lines &&
         (!a.accepted || (a.detailClasses == b.detailClasses && a.commandText == b.commandText));
}
