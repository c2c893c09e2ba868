// What the output layer and the entry need from the operating system. One
// backend file per platform implements it; nothing else touches the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The text-file line end of this platform, on the console and in files.
extern const std::string_view LineEnd;

// A system error number (errno, or GetLastError on Windows); 0 is success.
// The negative ones are our own.
using ErrorCode = int;
inline constexpr ErrorCode IsStandardOutput = -1;  // the file is where console lines go
inline constexpr ErrorCode IsStandardError = -2;
inline constexpr ErrorCode FolderBusy = -3;        // another run holds the folder
inline constexpr ErrorCode OutOfMemory = -4;       // said in the system's words
inline constexpr ErrorCode ForeignLink = -5;       // a link that another user owns
inline constexpr ErrorCode AlreadyWritten = -6;    // a file this run has opened before
inline constexpr ErrorCode HeldLocked = -7;        // another program holds a lock on it

struct FileHandle {
  std::intptr_t value = -1;
  bool isDisk = false;  // a regular file, cut at open and at close
};

// Before anything else: no error boxes, no death by a closed pipe or a size
// limit (both are write errors), and interruption watched.
void InitProcess();

// From here on an interruption waits until the process has ended: the run
// is complete and says so.
void HoldInterrupts();

// Takes the current folder, by its identity, for this process until it
// ends, so that two runs never write in one folder, whatever path each
// came by; FolderBusy when another has it, another code when it cannot be
// taken at all.
ErrorCode LockWorkingFolder();

// What a name in the current folder leads to: equal for two names that
// reach one disk file (links of either kind, chains of links), or that
// would create one; empty for a device or pipe, or when it cannot be told.
std::string FileIdentity(const std::string& name);

// Makes the names of the files created in the current folder durable.
ErrorCode SyncFolder();

// The whole of a file that the user names as input.
ErrorCode ReadWholeFile(const std::string& name, std::string& text);

// The command text after the program name, as the platform gives it.
std::string CommandTail(int argc, char** argv);

void UpperCase(std::string& text);
void LowerCase(std::string& text);

// Console output. Standard output tells a failure (0 when the reader has
// gone: that changes nothing); standard error's are swallowed.
ErrorCode WriteStandardOutput(std::string_view bytes);
void WriteStandardError(std::string_view bytes);
void SetConsoleTitleText(std::string_view title);

// Units digit of the local clock's seconds, '0' to '9'; cheap enough to ask
// once per address.
char SecondsUnitsDigit();

// Create or open for writing only, exclusive to this process while open; a
// disk file is emptied in place. Never truncates what another holds locked,
// nor the standard output or error, nor a file whose identity (as
// FileIdentity gives it, told from the open file itself) is in `taken`:
// AlreadyWritten, with `identity` set. Never follows a symbolic link that
// belongs to anyone but this user or the administrator. On success
// `identity` is the file's. Until it is closed, an interruption empties
// the file, writes interruptedLine to standard error and ends the process
// by the same signal.
ErrorCode OpenForWriting(const std::string& name, std::string_view interruptedLine,
                         const std::vector<std::string>& taken, std::string& identity, FileHandle& handle);
// Writes everything at the current position, looping over short writes.
ErrorCode WriteAll(FileHandle handle, const char* bytes, std::size_t size);
// Writes everything at an offset of a disk file; the current position may
// move.
ErrorCode WriteAt(FileHandle handle, std::uint64_t offset, const char* bytes, std::size_t size);
// Cuts a disk file at its current position.
ErrorCode EndHere(FileHandle handle);
// Makes a disk file's data reach the disk.
ErrorCode SyncFile(FileHandle handle);
// Releases the handle; the interruption no longer touches the file.
ErrorCode CloseFile(FileHandle handle);
// Empties a disk file that could not be written in full; a pipe or device
// is left alone.
void CutToEmpty(FileHandle handle);

std::string ErrorText(ErrorCode code);

// Ends the process with this exit status.
[[noreturn]] void ExitWithStatus(int status);

}  // namespace platform
