#include "cli/run.h"

#include <string>

#include "cli/command_line.h"
#include "output/console.h"
#include "output/output_file.h"
#include "output/platform.h"
#include "zones/block_plan.h"
#include "zones/boot_include.h"
#include "zones/shared_state.h"

int RunZonquist(std::string_view commandTail) {
  BootIncludeName = "BOOT.INC";
  SetTitle(BannerText);
  DetailClasses = "ABC";
  PrintLine(std::string(BannerText) + std::to_string(BuildStamp));

  CommandDecision decision = DecideCommand(commandTail);
  if (decision.action == CommandDecision::Action::ShowHelp) {
    PrintUsage();
    return 0;
  }
  if (decision.action == CommandDecision::Action::ShowVersion) return 0;  // the banner says it
  for (const std::string& line : decision.lines) PrintLine(line);
  if (decision.action == CommandDecision::Action::Reject) return decision.exitStatus;

  DetailClasses = decision.detailClasses;
  PrivateDomain = decision.privateDomain;
  if (platform::ErrorCode e = platform::LockWorkingFolder()) {
    // Never a run unlocked: another could be writing here unseen.
    PrintErrorLine(e == platform::FolderBusy ? "Error: " + platform::ErrorText(e)
                                             : "Error: could not lock this folder: " + platform::ErrorText(e));
    return 2;
  }
  RefuseSharedOutputFiles(OutputFileNames());
  WriteBootInclude();
  WriteForwardZone();
  // A signal after this line must not make a complete run look interrupted.
  platform::HoldInterrupts();
  PrintLine("Done.");
  return OutputFailed() ? 2 : 0;
}
