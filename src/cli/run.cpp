#include "cli/run.h"

#include <cstdio>
#include <ctime>
#include <string>

#include "cli/command_line.h"
#include "output/console.h"
#include "output/errors.h"
#include "output/output_file.h"
#include "output/platform.h"
#include "zones/boot_include.h"
#include "zones/forward_zone.h"
#include "zones/hosts.h"
#include "zones/shared_state.h"
#include "zones/zone_file.h"
#include "zones/zone_plan.h"
#include "zones/zone_table.h"

namespace {
// The files the run has planned, BOOT.INC and the forward zone among them.
std::size_t plannedFiles = ReverseZones.size() + 2;
}  // namespace

void SayNotDone() noexcept {
  // Formatted in place: this is also said when memory has run out.
  const std::size_t total = plannedFiles;
  const std::size_t committed = CommittedFiles();
  char line[64];
  int n = std::snprintf(line, sizeof line, "Not done: %u of %u files not written.",
                        static_cast<unsigned>(committed < total ? total - committed : 0), static_cast<unsigned>(total));
  if (n > 0) PrintLine(std::string_view(line, static_cast<std::size_t>(n)));
}

namespace {

int RunSequence(const platform::CommandLine& commandLine) {
  const std::int64_t runStart = static_cast<std::int64_t>(std::time(nullptr));
  SetTitle(BannerText);
  PrintLine(std::string(BannerText) + std::to_string(BuildStamp));

  CommandDecision decision = DecideCommand(commandLine, runStart);
  if (decision.action == CommandDecision::Action::ShowHelp) {
    PrintUsage();
    return 0;
  }
  if (decision.action == CommandDecision::Action::ShowVersion) return 0;  // the banner says it
  for (const std::string& line : decision.lines) PrintLine(line);
  if (decision.error) PrintErrorLine(*decision.error);
  if (decision.action == CommandDecision::Action::Reject) return decision.exitStatus;

  ZoneInputs& inputs = decision.inputs;
  if (!decision.hostsFiles.empty()) {
    // Read whole before anything is written: a bad file writes nothing.
    std::vector<HostsFile> files;
    for (const std::string& name : decision.hostsFiles) {
      files.push_back({name, {}});
      if (platform::ErrorCode e = platform::ReadWholeFile(name, files.back().text)) {
        PrintErrorLine("Error: could not read " + Shown(name) + ": " + ErrorText(e));
        return 1;
      }
    }
    HostsParse hosts = ParseHosts(files, inputs.PrivateDomain, inputs.Ipv6);
    if (hosts.error) {
      PrintErrorLine(*hosts.error);
      return 1;
    }
    inputs.Hosts = std::move(hosts.table);
    for (const SkippedEntries& skipped : inputs.Hosts.skipped) PrintLine(SkipLine(skipped, files.size() > 1));
  }
  for (const std::string& name : decision.recordsFiles) {
    // There when the run starts; the servers read it at each load.
    std::string text;
    if (platform::ErrorCode e = platform::ReadWholeFile(name, text)) {
      PrintErrorLine("Error: could not read " + Shown(name) + ": " + ErrorText(e));
      return 1;
    }
    const std::string path = platform::AbsolutePath(name);
    if (path.empty()) {
      PrintErrorLine("Error: --records: could not tell the absolute path of " + Shown(name));
      return 1;
    }
    if (std::optional<std::string> problem = IncludePathProblem(path)) {
      PrintErrorLine("Error: --records: " + Shown(path) + " cannot stand in a zone file: it holds " + *problem +
                     "; name a link to it from a path without one");
      return 1;
    }
    PrintLine(" + Records of " + path + " included in rfc1918.nam");
    inputs.Records.push_back(path);
  }
  const RunPlan plan = PlanRun(inputs);
  plannedFiles = plan.FileNames.size();
  if (platform::ErrorCode e = platform::LockWorkingFolder()) {
    // Never a run unlocked: another could be writing here unseen.
    PrintErrorLine(e == platform::FolderBusy ? "Error: " + ErrorText(e)
                                             : "Error: could not lock this folder: " + ErrorText(e));
    SayNotDone();
    return 2;
  }
  RefuseSharedOutputFiles(plan.FileNames);
  WriteBootInclude(inputs);
  WriteForwardZone(plan, inputs);
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

int RunZonquist(const platform::CommandLine& commandLine) {
  int status = RunSequence(commandLine);
  // The transcript is part of the result: one that was lost is said.
  if (platform::ErrorCode e = ConsoleFailure()) {
    PrintErrorLine("Error: could not write the console output: " + ErrorText(e));
    status = 2;
  }
  return status;
}
