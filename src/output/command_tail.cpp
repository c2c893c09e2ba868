#include "output/command_tail.h"

namespace platform {

std::string_view WindowsCommandTail(std::string_view commandLine) {
  std::size_t i = 0;
  if (!commandLine.empty() && commandLine[0] == '"') {
    std::size_t close = commandLine.find('"', 1);
    i = close == std::string_view::npos ? commandLine.size() : close + 1;
  } else {
    while (i < commandLine.size() && static_cast<unsigned char>(commandLine[i]) > 32) ++i;
  }
  while (i < commandLine.size() && commandLine[i] == ' ') ++i;
  return commandLine.substr(i);
}

}  // namespace platform
