// libFuzzer target over the command-line decisions: no tail crashes the
// scan, an accepted domain is always one that makes sound zone files, and a
// rejection is one error line with status 1.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/command_line.h"
#include "switch_scan_oracle.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool IsCleanDomain(const std::string& d) {
  if (d.empty() || d.size() > 235 || d.back() != '.') return false;
  std::size_t label = 0;
  for (std::size_t i = 0; i < d.size(); ++i) {
    char c = d[i];
    if (c == '.') {
      if (label == 0 || d[i - 1] == '-') return false;
      label = 0;
    } else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-') {
      if (++label > 63 || (c == '-' && label == 1)) return false;
    } else {
      return false;  // upper case included: the domain is lowered
    }
  }
  return true;
}

// Words part at blanks and tabs, as Windows takes them; an option cut out
// from between a tab and a word can leave that word after a blank.
bool HasWord(std::string text, const std::string& word) {
  for (char& c : text)
    if (c == '\t') c = ' ';
  return (" " + text + " ").find(" " + word + " ") != std::string::npos;
}

bool ShowsNoControlByte(const std::string& line) {
  for (char c : line)
    if (static_cast<unsigned char>(c) < 32 || (static_cast<unsigned char>(c) >= 127 && static_cast<unsigned char>(c) < 160))
      return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string tail(reinterpret_cast<const char*>(data), size);
  CommandDecision d = DecideCommand(tail);
  switch (d.action) {
    case CommandDecision::Action::ShowHelp:
      Require(tail.empty() || tail.find('?') != std::string::npos || HasWord(tail, "--help") || HasWord(tail, "-h"));
      Require(d.exitStatus == 0);
      break;
    case CommandDecision::Action::ShowVersion:
      Require(HasWord(tail, "--version") || HasWord(tail, "-V"));
      Require(d.exitStatus == 0);
      break;
    case CommandDecision::Action::Generate:
      Require(IsCleanDomain(d.inputs.PrivateDomain));
      Require(d.inputs.PrivateDomain != "in-addr.arpa." && !(d.inputs.PrivateDomain.size() > 14 &&
              d.inputs.PrivateDomain.compare(d.inputs.PrivateDomain.size() - 14, 14, ".in-addr.arpa.") == 0));
      Require(d.detailClasses == "ABC" || d.detailClasses == "A" || d.detailClasses == "B" ||
              d.detailClasses == "C");
      Require(d.exitStatus == 0);
      for (const std::string& line : d.lines) Require(line.rfind("Error: ", 0) != 0);
      break;
    case CommandDecision::Action::Reject:
      Require(d.exitStatus == 1);
      Require(d.error && d.error->rfind("Error: ", 0) == 0);
      Require(ShowsNoControlByte(*d.error));
      for (const std::string& line : d.lines) Require(line.rfind("Error: ", 0) != 0);
      break;
  }
  if (size < 4096 && tail.find('?') == std::string::npos && !tail.empty())
    Require(SameScan(ParseCommandLine(tail), PlainSwitchScan(tail, "ABC")));
  return 0;
}
