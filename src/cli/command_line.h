// Decisions taken from the command line: help, options, class switches,
// domain.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "output/command_tail.h"
#include "inputs/read_inputs.h"
#include "zones/shared_state.h"

// The help text: the seventeen lines of the tool, then one line or two
// for each option.
std::vector<std::string> UsageText();
void PrintUsage();

struct SwitchScan {
  bool accepted = true;
  std::string detailClasses = "ABC";  // or the last switch's letter
  std::string commandText;         // what is left for the domain test
  std::vector<std::string> lines;  // console lines, in order, the error last
};
SwitchScan ParseCommandLine(std::string commandText);

// The rejection message, or nothing when the name is accepted.
std::optional<std::string> ValidateDomain(std::string_view commandText);

// What the options ask for; the defaults write what a run without them
// always has.
struct ZoneOptions {
  std::uint32_t serial = 1;
  bool serialNext = false;  // serial holds the run's start, for new zones
  std::string catalog;      // lower case; empty for none
  std::int64_t ttl = -1;                // -1: no $TTL line
  std::vector<AddressRange> detail;     // as given
  std::vector<std::string> hostsFiles;    // in the order given
  std::vector<std::string> recordsFiles;  // likewise
  std::vector<std::string> leasesFiles;   // likewise
  bool ipv6 = false;
  std::vector<std::string> lines;         // console lines that say what was asked
};

// Takes the --name VALUE and --name=VALUE words out of the command line,
// before the switch scan, so that a "/" in a value is no switch; a value is
// one word as the platform gives it. `runStart` is the run's start in
// seconds since 1970 (UTC), for --serial unixtime.
struct OptionScan {
  std::optional<std::string> error;  // the error line
  std::string rest;                  // the command text without the options
  ZoneOptions options;
  // The last option that took the word after it as its value, and that word.
  std::optional<std::pair<std::string, std::string>> wordTaken;
};
OptionScan TakeOptions(const platform::CommandLine& line, std::int64_t runStart);

struct CommandDecision {
  enum class Action { ShowHelp, ShowVersion, Generate, Reject };
  Action action = Action::Reject;
  std::vector<std::string> lines;  // the switch and option lines
  std::optional<std::string> error;  // the error line of a rejection
  std::string detailClasses;       // "ABC", or the switch's letter
  OutsideFiles files;               // as given
  ZoneInputs inputs;               // all but the files, which are read later
  int exitStatus = 0;
};
CommandDecision DecideCommand(const platform::CommandLine& line, std::int64_t runStart = 0);
// A command text taken apart as Windows does.
CommandDecision DecideCommand(std::string_view commandTail, std::int64_t runStart = 0);
