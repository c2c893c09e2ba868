// What the output layer and the entry need from the operating system. One
// backend file per platform implements it; nothing else touches the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "output/command_tail.h"

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
inline constexpr ErrorCode HeldLocked = -7;        // another program holds a lock on it

struct FileHandle {
  std::intptr_t value = -1;
  bool isDisk = false;  // a regular file: only such a file is cut and synced
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
// A name as an absolute path, a relative one taken from the current folder,
// with "/" between its parts; empty when it cannot be told.
std::string AbsolutePath(const std::string& name);

// The command text after the program name and its words, as the platform
// gives them.
CommandLine CommandLineOf(int argc, char** argv);

// Console output. Standard output tells a failure (0 when the reader has
// gone: that changes nothing); standard error's are swallowed.
ErrorCode WriteStandardOutput(std::string_view bytes);
void WriteStandardError(std::string_view bytes);
void SetConsoleTitleText(std::string_view title);

// The clock's seconds since 1970, cheap enough to ask once per address,
// and the units digit of the local clock's seconds at that moment.
std::int64_t ClockSeconds();
char LocalSecondsDigit(std::int64_t clockSeconds);

// Opens a file for writing only, creating it when missing; a symbolic link
// is followed only when it belongs to this user or the administrator
// (ForeignLink); where opening is exclusive (Windows), a file that another
// holds is HeldLocked. Sets handle.isDisk: a regular file.
ErrorCode OpenFile(const std::string& name, FileHandle& handle);
// What the open file is, as FileIdentity tells it; empty when not known.
std::string IdentityOfOpenFile(FileHandle handle);
// Takes the file for this process while it is open: HeldLocked when
// another program holds a lock on it.
ErrorCode LockFile(FileHandle handle);
// IsStandardOutput or IsStandardError when the open file is where console
// lines go; 0 otherwise.
ErrorCode ConsoleStreamOf(FileHandle handle);
// Writes everything at the current position, looping over short writes.
ErrorCode WriteAll(FileHandle handle, const char* bytes, std::size_t size);
// Writes everything at an offset of a disk file; the current position may
// move.
ErrorCode WriteAt(FileHandle handle, std::uint64_t offset, const char* bytes, std::size_t size);
// Cuts a disk file at its current position.
ErrorCode EndHere(FileHandle handle);
// Cuts a disk file to nothing and goes back to its start.
ErrorCode EmptyFile(FileHandle handle);
// Makes a disk file's data reach the disk.
ErrorCode SyncFile(FileHandle handle);
// (The three are for disk files only: the output file asks them for no
// other.)
// Releases the handle.
ErrorCode CloseFile(FileHandle handle);

// A file this run may leave untouched, opened for reading only (whoever
// owns a link to it: reading changes nothing); isDisk as for OpenFile.
ErrorCode OpenForReading(const std::string& name, FileHandle& handle);
// Up to `size` bytes from the current position; `got` is 0 at the end.
ErrorCode ReadSome(FileHandle handle, char* bytes, std::size_t size, std::size_t& got);

// The interruption handler reads the table of watched files (see
// watched_files.h); it is changed only while one of these is held, which
// keeps the handler off. They nest.
class InterruptionsHeld {
 public:
  InterruptionsHeld();
  ~InterruptionsHeld();
  InterruptionsHeld(const InterruptionsHeld&) = delete;
  InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;

 private:
  // The system's saved state, stored with the strictest alignment a type
  // of it may need.
  alignas(std::max_align_t) unsigned char saved_[128];
};

// The system's words for its own error numbers, and one of its numbers;
// the second form allocates nothing and gives the length written.
std::string SystemErrorText(ErrorCode code);
std::size_t SystemErrorTextInto(ErrorCode code, char* out, std::size_t room);
extern const ErrorCode NoMemory;

// Ends the process with this exit status.
[[noreturn]] void ExitWithStatus(int status);

}  // namespace platform
