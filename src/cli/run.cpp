#include "cli/run.h"

#include <cstdio>
#include <ctime>
#include <string>

#include "cli/carry_out.h"
#include "cli/command_line.h"
#include "inputs/read_inputs.h"
#include "output/console.h"
#include "output/errors.h"
#include "output/output_file.h"
#include "output/platform.h"
#include "zones/shared_state.h"
#include "zones/zone_plan.h"

void SayNotDone() noexcept {
  // Formatted in place: this is also said when memory has run out.
  const std::size_t total = ExpectedOutputFiles();
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
  ExpectOutputFiles(PlannedFileNames(inputs).size());
  // Read whole before anything is written: a bad file writes nothing.
  std::vector<std::string> lines;
  const std::optional<std::string> error = ReadOutsideFiles(decision.files, inputs, lines);
  for (const std::string& line : lines) PrintLine(line);
  if (error) {
    PrintErrorLine(*error);
    return 1;
  }
  const RunPlan plan = PlanRun(inputs);
  if (platform::ErrorCode e = platform::LockWorkingFolder()) {
    // Never a run unlocked: another could be writing here unseen.
    PrintErrorLine(e == platform::FolderBusy ? "Error: " + ErrorText(e)
                                             : "Error: could not lock this folder: " + ErrorText(e));
    SayNotDone();
    return 2;
  }
  // What the files hold now, read before any is opened for writing.
  const WrittenSerials written = FindWrittenSerials(plan);
  if (std::optional<std::string> refusal = RefusedLowering(inputs, written)) {
    PrintErrorLine(*refusal);
    return 1;
  }
  RefuseSharedOutputFiles(plan.FileNames);
  CarryOutPlan(plan, inputs, written);
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
