#include <string>

#include "cli/run.h"
#include "output/platform.h"

int main(int argc, char** argv) {
  platform::InitProcess();
  std::string tail = platform::CommandTail(argc, argv);
  platform::ExitWithStatus(RunZonquist(tail));
}
