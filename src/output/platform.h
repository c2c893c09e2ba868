// What the output layer and the entry need from the operating system. One
// backend file per platform implements it; nothing else touches the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The text-file line end of this platform, on the console and in files.
extern const std::string_view LineEnd;

// A system error number (errno, or GetLastError on Windows); 0 is success.
using ErrorCode = int;

struct FileHandle {
  std::intptr_t value = -1;
  bool isDisk = false;  // a regular file, cut at open and at close
};

// Before anything else: no error boxes, no death by a closed pipe.
void InitProcess();

// The command text after the program name, as the platform gives it.
std::string CommandTail(int argc, char** argv);

void UpperCase(std::string& text);
void LowerCase(std::string& text);

// Console output; failures are swallowed.
void WriteStandardOutput(std::string_view bytes);
void WriteStandardError(std::string_view bytes);
void SetConsoleTitleText(std::string_view title);

// Units digit of the local clock's seconds, '0' to '9'; cheap enough to ask
// once per address.
char SecondsUnitsDigit();

// Create or open for writing only, exclusive to this process while open; a
// disk file is emptied in place. Never truncates what another holds open.
ErrorCode OpenForWriting(const std::string& name, FileHandle& handle);
// Writes everything, looping over short writes.
ErrorCode WriteAll(FileHandle handle, const char* bytes, std::size_t size);
// Cuts a disk file at its current position, then releases the handle.
ErrorCode CutAndClose(FileHandle handle);

std::string ErrorText(ErrorCode code);

// Ends the process with this exit status.
[[noreturn]] void ExitWithStatus(int status);

}  // namespace platform
