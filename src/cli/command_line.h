// Decisions taken from the command text: help, class switches, domain.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

extern const std::array<std::string_view, 17> UsageText;
void PrintUsage();

// Empty, a "?" anywhere, or the word --help or -h.
bool WantsHelp(std::string_view commandText);
// The word --version or -V.
bool WantsVersion(std::string_view commandText);

struct SwitchScan {
  bool accepted = true;
  std::string detailClasses;
  std::string commandText;         // what is left for the domain test
  std::vector<std::string> lines;  // console lines, in order
};
SwitchScan ParseCommandLine(std::string commandText, std::string detailClasses);

// The rejection message, or nothing when the name is accepted.
std::optional<std::string> ValidateDomain(std::string_view commandText);

struct CommandDecision {
  enum class Action { ShowHelp, ShowVersion, Generate, Reject };
  Action action = Action::Reject;
  std::vector<std::string> lines;  // switch lines, then any error line
  std::string detailClasses;
  std::string privateDomain;
  int exitStatus = 0;
};
CommandDecision DecideCommand(std::string_view commandTail);
