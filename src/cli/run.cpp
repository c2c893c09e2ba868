#include "cli/run.h"

#include <cstdio>
#include <ctime>
#include <string>

#include "cli/command_line.h"
#include "output/console.h"
#include "output/errors.h"
#include "output/output_file.h"
#include "output/platform.h"
#include "zones/block_plan.h"
#include "zones/boot_include.h"
#include "zones/hosts.h"
#include "zones/shared_state.h"
#include "zones/zone_table.h"

void SayNotDone() noexcept {
  // Formatted in place: this is also said when memory has run out.
  constexpr std::size_t total = ReverseZones.size() + 2;  // BOOT.INC and the forward zone too
  const std::size_t committed = CommittedFiles();
  char line[64];
  int n = std::snprintf(line, sizeof line, "Not done: %u of %u files not written.",
                        static_cast<unsigned>(committed < total ? total - committed : 0), static_cast<unsigned>(total));
  if (n > 0) PrintLine(std::string_view(line, static_cast<std::size_t>(n)));
}

namespace {

int RunSequence(std::string_view commandTail) {
  const std::int64_t runStart = static_cast<std::int64_t>(std::time(nullptr));
  BootIncludeName = "BOOT.INC";
  SetTitle(BannerText);
  DetailClasses = "ABC";
  PrintLine(std::string(BannerText) + std::to_string(BuildStamp));

  CommandDecision decision = DecideCommand(commandTail, runStart);
  if (decision.action == CommandDecision::Action::ShowHelp) {
    PrintUsage();
    return 0;
  }
  if (decision.action == CommandDecision::Action::ShowVersion) return 0;  // the banner says it
  for (const std::string& line : decision.lines) PrintLine(line);
  if (decision.action == CommandDecision::Action::Reject) return decision.exitStatus;

  DetailClasses = decision.detailClasses;
  PrivateDomain = decision.privateDomain;
  ZoneSerial = decision.options.serial;
  ZoneTtl = decision.options.ttl;
  DetailRanges = decision.options.detail;
  if (!decision.options.hostsFile.empty()) {
    // Read whole before anything is written: a bad file writes nothing.
    const std::string& file = decision.options.hostsFile;
    std::string text;
    if (platform::ErrorCode e = platform::ReadWholeFile(file, text)) {
      PrintLine("Error: could not read " + file + ": " + ErrorText(e));
      return 1;
    }
    HostsParse hosts = ParseHosts(text, file, PrivateDomain);
    if (hosts.error) {
      PrintLine(*hosts.error);
      return 1;
    }
    Hosts = std::move(hosts.table);
    if (Hosts.skipped != 0)
      PrintLine(" + Skipped " + std::to_string(Hosts.skipped) + " hosts entries outside the private blocks");
  }
  if (platform::ErrorCode e = platform::LockWorkingFolder()) {
    // Never a run unlocked: another could be writing here unseen.
    PrintErrorLine(e == platform::FolderBusy ? "Error: " + ErrorText(e)
                                             : "Error: could not lock this folder: " + ErrorText(e));
    SayNotDone();
    return 2;
  }
  RefuseSharedOutputFiles(OutputFileNames());
  WriteBootInclude();
  WriteForwardZone();
  // The new files' names as durable as their bytes.
  platform::ErrorCode synced = platform::SyncFolder();
  if (synced != 0) PrintErrorLine("Error: could not sync this folder: " + ErrorText(synced));
  // A signal after this must not make a finished run look interrupted.
  platform::HoldInterrupts();
  if (OutputFailed()) {
    SayNotDone();
    return 2;
  }
  if (synced != 0) {
    PrintLine("Not done: this folder could not be synced.");
    return 2;
  }
  PrintLine("Done.");
  return 0;
}

}  // namespace

int RunZonquist(std::string_view commandTail) {
  int status = RunSequence(commandTail);
  // The transcript is part of the result: one that was lost is said.
  if (platform::ErrorCode e = ConsoleFailure()) {
    PrintErrorLine("Error: could not write the console output: " + ErrorText(e));
    status = 2;
  }
  return status;
}
