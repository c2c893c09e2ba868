// Starts a program with exactly the raw command line given, the way a
// Windows shell would, and passes on its exit status.
//   run_command_line PROGRAM "RAW COMMAND LINE"
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: run_command_line PROGRAM COMMAND_LINE\n");
    return 120;
  }
  std::string commandLine = argv[2];
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(argv[1], commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "CreateProcessA failed: %lu\n", GetLastError());
    return 121;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 121;
  GetExitCodeProcess(process.hProcess, &status);
  return static_cast<int>(status);
}
