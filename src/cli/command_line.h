// Decisions taken from the command text: help, class switches, domain.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zones/address.h"

extern const std::array<std::string_view, 25> UsageText;
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

// What the options ask for; the defaults write what a run without them
// always has.
struct ZoneOptions {
  std::uint32_t serial = 1;
  std::int64_t ttl = -1;  // -1: no $TTL line
  std::vector<AddressRange> detail;  // merged, in address order
  std::string hostsFile;             // empty: none
  std::vector<std::string> lines;    // console lines that say what was asked
};

// Takes the --name VALUE and --name=VALUE words out of the command text,
// before the switch scan, so that a "/" in a value is no switch. `runStart`
// is the run's start in seconds since 1970 (UTC), for --serial unixtime.
struct OptionScan {
  std::optional<std::string> error;  // the error line
  std::string rest;                  // the command text without the options
  ZoneOptions options;
};
OptionScan TakeOptions(std::string_view commandText, std::int64_t runStart);

struct CommandDecision {
  enum class Action { ShowHelp, ShowVersion, Generate, Reject };
  Action action = Action::Reject;
  std::vector<std::string> lines;  // switch lines, then any error line
  std::string detailClasses;
  std::string privateDomain;
  ZoneOptions options;
  int exitStatus = 0;
};
CommandDecision DecideCommand(std::string_view commandTail, std::int64_t runStart = 0);
