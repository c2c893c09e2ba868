#include <new>
#include <string>

#include "cli/run.h"
#include "output/errors.h"
#include "output/platform.h"

int main(int argc, char** argv) {
  platform::InitProcess();
  try {
    std::string tail = platform::CommandTail(argc, argv);
    platform::ExitWithStatus(RunZonquist(tail));
  } catch (const std::bad_alloc&) {
    // Each file's buffer is taken without throwing; this is what is left.
    platform::WriteStandardError("Error: " + ErrorText(platform::OutOfMemory));
    platform::WriteStandardError(platform::LineEnd);
    SayNotDone();
    platform::ExitWithStatus(2);
  }
}
