#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "cli/run.h"
#include "output/output_file.h"
#include "output/platform.h"

namespace {

// What ended the run, said once: with each file it left empty, or alone.
// Allocates nothing.
[[noreturn]] void EndedBy(std::string_view reason) noexcept {
  if (!NameAbandonedFiles(reason)) {
    platform::WriteStandardError("Error: ");
    platform::WriteStandardError(reason);
    platform::WriteStandardError(platform::LineEnd);
  }
  SayNotDone();
  platform::ExitWithStatus(2);
}

}  // namespace

int main(int argc, char** argv) {
  platform::InitProcess();
  // The system's words, ready for when memory has run out.
  static char outOfMemory[512];
  const std::string_view outOfMemoryText(
      outOfMemory, platform::SystemErrorTextInto(platform::NoMemory, outOfMemory, sizeof outOfMemory));
  try {
    platform::ExitWithStatus(RunZonquist(platform::CommandLineOf(argc, argv)));
  } catch (const std::bad_alloc&) {
    // Each file's buffer is taken without throwing; this is what is left.
    EndedBy(outOfMemoryText);
  } catch (const std::exception& e) {
    EndedBy(e.what());
  }
}
