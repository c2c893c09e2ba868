// The platform layer on Windows: the console and file calls of Win32.
#include "output/platform.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "output/command_tail.h"
#include "output/watched_files.h"

namespace platform {

const std::string_view LineEnd = "\r\n";

namespace {

// No system error box may wait for a user while a call runs.
class QuietErrors {
 public:
  QuietErrors() : previous_(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
  ~QuietErrors() { SetErrorMode(previous_); }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

 private:
  UINT previous_;
};

HANDLE StandardOutputHandle() {
  static HANDLE handle = [] {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    if ((startup.dwFlags & STARTF_USESTDHANDLES) && startup.hStdOutput != nullptr &&
        startup.hStdOutput != INVALID_HANDLE_VALUE)
      return startup.hStdOutput;
    return GetStdHandle(STD_OUTPUT_HANDLE);
  }();
  return handle;
}

// Everything, looping over short writes; at an offset when one is given.
ErrorCode WriteHandle(HANDLE handle, const char* bytes, std::size_t size, const std::uint64_t* offset = nullptr) {
  QuietErrors quiet;
  for (std::uint64_t done = 0; size > 0;) {
    DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    OVERLAPPED at{};
    if (offset != nullptr) {
      at.Offset = static_cast<DWORD>(*offset + done);
      at.OffsetHigh = static_cast<DWORD>((*offset + done) >> 32);
    }
    if (!WriteFile(handle, bytes, chunk, &written, offset != nullptr ? &at : nullptr))
      return static_cast<ErrorCode>(GetLastError());
    if (written == 0) return ERROR_DISK_FULL;
    bytes += written;
    size -= written;
    done += written;
  }
  return 0;
}

ErrorCode WriteQuietly(HANDLE handle, std::string_view bytes) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return 0;
  return WriteHandle(handle, bytes.data(), bytes.size());
}

// The console's control events arrive on a thread of their own. Every file
// operation holds this lock, so the handler cuts the open files between
// two buffer hand-overs and ends the process while still holding it.
CRITICAL_SECTION fileLock;

class FileLockHeld {
 public:
  FileLockHeld() { EnterCriticalSection(&fileLock); }
  ~FileLockHeld() { LeaveCriticalSection(&fileLock); }
  FileLockHeld(const FileLockHeld&) = delete;
  FileLockHeld& operator=(const FileLockHeld&) = delete;
};

bool Empty(HANDLE file) {
  LARGE_INTEGER zero{};
  return SetFilePointerEx(file, zero, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

BOOL WINAPI OnControlEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  EnterCriticalSection(&fileLock);  // never left: the process ends here
  QuietErrors quiet;
  for (const WatchedFile& w : WatchedFiles) {
    if (w.handle == -1) continue;
    if (w.isDisk) Empty(reinterpret_cast<HANDLE>(w.handle));
    WriteQuietly(GetStdHandle(STD_ERROR_HANDLE), std::string_view(w.line, w.length));
  }
  // What the default handler would do: end as interrupted. Not by
  // ExitProcess: its detach code would run while the main thread may hold
  // the runtime's locks.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(STATUS_CONTROL_C_EXIT));
  return TRUE;
}

bool SameFile(HANDLE file, HANDLE other) {
  BY_HANDLE_FILE_INFORMATION a{}, b{};
  if (other == nullptr || other == INVALID_HANDLE_VALUE || GetFileType(other) != FILE_TYPE_DISK) return false;
  return GetFileInformationByHandle(file, &a) && GetFileInformationByHandle(other, &b) &&
         a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace

void InitProcess() {
  InitializeCriticalSection(&fileLock);
  SetConsoleCtrlHandler(OnControlEvent, TRUE);
}

// The handler waits for this lock, which is never left again.
void HoldInterrupts() { EnterCriticalSection(&fileLock); }

InterruptionsHeld::InterruptionsHeld() { EnterCriticalSection(&fileLock); }
InterruptionsHeld::~InterruptionsHeld() { LeaveCriticalSection(&fileLock); }

namespace {

// The folder or file itself, opened without reading or locking anything.
HANDLE OpenForIdentity(const char* name) {
  return CreateFileA(name, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

std::string Hex(unsigned long long value) {
  std::string text(16, '0');
  for (int i = 0; i < 16; ++i) text[i] = "0123456789abcdef"[(value >> (60 - 4 * i)) & 0xF];
  return text;
}

}  // namespace

ErrorCode LockWorkingFolder() {
  // A named mutex made from the folder's volume serial and file index,
  // held until the process ends: every spelling of the folder (a link, a
  // junction, a mapped drive, an 8.3 name) meets the same mutex.
  QuietErrors quiet;
  HANDLE folder = OpenForIdentity(".");
  if (folder == INVALID_HANDLE_VALUE) return static_cast<ErrorCode>(GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  BOOL known = GetFileInformationByHandle(folder, &info);
  ErrorCode e = known ? 0 : static_cast<ErrorCode>(GetLastError());
  CloseHandle(folder);
  if (!known) return e;
  std::string id = Hex(info.dwVolumeSerialNumber) + "-" +
                   Hex(static_cast<unsigned long long>(info.nFileIndexHigh) << 32 | info.nFileIndexLow);
  for (const char* space : {"Global\\", "Local\\"}) {
    std::string name = std::string(space) + "zonquist-folder-" + id;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    e = static_cast<ErrorCode>(GetLastError());
    // One that exists and cannot be opened is held by another user's run.
    if (mutex == nullptr && e == ERROR_ACCESS_DENIED) return FolderBusy;
    if (mutex == nullptr) continue;
    if (e == ERROR_ALREADY_EXISTS) {
      CloseHandle(mutex);
      return FolderBusy;
    }
    return 0;
  }
  return e;
}

namespace {

// Volume serial and file index of a disk file; empty for anything else.
std::string IdentityOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  bool disk = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
              !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  if (!disk) return "";
  return "file " + Hex(info.dwVolumeSerialNumber) + "-" +
         Hex(static_cast<unsigned long long>(info.nFileIndexHigh) << 32 | info.nFileIndexLow);
}

}  // namespace

ErrorCode SyncFolder() {
  // The new files' folder entries flushed as their bytes were.
  QuietErrors quiet;
  HANDLE folder = CreateFileA(".", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return static_cast<ErrorCode>(GetLastError());
  ErrorCode e = FlushFileBuffers(folder) ? 0 : static_cast<ErrorCode>(GetLastError());
  CloseHandle(folder);
  return e;
}

std::string FileIdentity(const std::string& name) {
  QuietErrors quiet;
  HANDLE file = OpenForIdentity(name.c_str());
  if (file != INVALID_HANDLE_VALUE) {
    std::string identity = IdentityOf(file);
    CloseHandle(file);
    return identity;
  }
  // Nothing there yet: the full path that creating it would take.
  char path[32768];
  DWORD n = GetFullPathNameA(name.c_str(), sizeof path, path, nullptr);
  if (n == 0 || n >= sizeof path) return "";
  CharUpperBuffA(path, n);
  return "path " + std::string(path, n);
}

ErrorCode ReadWholeFile(const std::string& name, std::string& text) {
  QuietErrors quiet;
  HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return static_cast<ErrorCode>(GetLastError());
  LARGE_INTEGER size{};
  if (GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size)) text.reserve(static_cast<std::size_t>(size.QuadPart));
  char chunk[65536];
  ErrorCode e = 0;
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file, chunk, sizeof chunk, &n, nullptr)) e = static_cast<ErrorCode>(GetLastError());
    if (e != 0 || n == 0) break;
    text.append(chunk, n);
  }
  CloseHandle(file);
  return e;
}

std::string AbsolutePath(const std::string& name) {
  // A backslash is an escape in a zone file; Windows takes "/" as well.
  char path[32768];
  DWORD n = GetFullPathNameA(name.c_str(), sizeof path, path, nullptr);
  if (n == 0 || n >= sizeof path) return "";
  std::replace(path, path + n, '\\', '/');
  return std::string(path, n);
}

CommandLine CommandLineOf(int, char**) { return WindowsCommandWords(WindowsCommandTail(GetCommandLineA())); }

ErrorCode WriteStandardOutput(std::string_view bytes) {
  ErrorCode e = WriteQuietly(StandardOutputHandle(), bytes);
  // A pipe whose reader has gone.
  return e == ERROR_NO_DATA || e == ERROR_BROKEN_PIPE ? 0 : e;
}
void WriteStandardError(std::string_view bytes) { (void)WriteQuietly(GetStdHandle(STD_ERROR_HANDLE), bytes); }

void SetConsoleTitleText(std::string_view title) { SetConsoleTitleA(std::string(title).c_str()); }

std::int64_t ClockSeconds() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return static_cast<std::int64_t>((static_cast<ULONGLONG>(now.dwHighDateTime) << 32 | now.dwLowDateTime) / 10000000ull);
}

// The local clock turns its seconds with the system clock's.
char LocalSecondsDigit(std::int64_t) {
  QuietErrors quiet;
  SYSTEMTIME local;
  GetLocalTime(&local);
  return static_cast<char>('0' + local.wSecond % 10);
}

ErrorCode OpenFile(const std::string& name, FileHandle& handle) {
  FileLockHeld held;
  QuietErrors quiet;
  // No other opener while it is open; not inheritable: no child of ours has
  // any business with it.
  HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ErrorCode e = static_cast<ErrorCode>(GetLastError());
    return e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION ? HeldLocked : e;
  }
  handle.value = reinterpret_cast<std::intptr_t>(file);
  handle.isDisk = GetFileType(file) == FILE_TYPE_DISK;
  return 0;
}

std::string IdentityOfOpenFile(FileHandle handle) {
  QuietErrors quiet;
  return IdentityOf(reinterpret_cast<HANDLE>(handle.value));
}

// The open itself took the file: share mode 0.
ErrorCode LockFile(FileHandle) { return 0; }

ErrorCode ConsoleStreamOf(FileHandle handle) {
  QuietErrors quiet;
  HANDLE file = reinterpret_cast<HANDLE>(handle.value);
  if (SameFile(file, StandardOutputHandle())) return IsStandardOutput;
  if (SameFile(file, GetStdHandle(STD_ERROR_HANDLE))) return IsStandardError;
  return 0;
}

ErrorCode WriteAll(FileHandle handle, const char* bytes, std::size_t size) {
  FileLockHeld held;
  return WriteHandle(reinterpret_cast<HANDLE>(handle.value), bytes, size);
}

ErrorCode WriteAt(FileHandle handle, std::uint64_t offset, const char* bytes, std::size_t size) {
  FileLockHeld held;
  return WriteHandle(reinterpret_cast<HANDLE>(handle.value), bytes, size, &offset);
}

ErrorCode EndHere(FileHandle handle) {
  FileLockHeld held;
  QuietErrors quiet;
  if (!SetEndOfFile(reinterpret_cast<HANDLE>(handle.value)))
    return static_cast<ErrorCode>(GetLastError());
  return 0;
}

ErrorCode SyncFile(FileHandle handle) {
  FileLockHeld held;
  QuietErrors quiet;
  if (!FlushFileBuffers(reinterpret_cast<HANDLE>(handle.value)))
    return static_cast<ErrorCode>(GetLastError());
  return 0;
}

ErrorCode CloseFile(FileHandle handle) {
  FileLockHeld held;
  QuietErrors quiet;
  return CloseHandle(reinterpret_cast<HANDLE>(handle.value)) ? 0 : static_cast<ErrorCode>(GetLastError());
}

ErrorCode OpenForReading(const std::string& name, FileHandle& handle) {
  QuietErrors quiet;
  HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return static_cast<ErrorCode>(GetLastError());
  handle.value = reinterpret_cast<std::intptr_t>(file);
  handle.isDisk = GetFileType(file) == FILE_TYPE_DISK;
  return 0;
}

ErrorCode ReadSome(FileHandle handle, char* bytes, std::size_t size, std::size_t& got) {
  QuietErrors quiet;
  DWORD n = 0;
  const DWORD ask = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  if (!ReadFile(reinterpret_cast<HANDLE>(handle.value), bytes, ask, &n, nullptr))
    return static_cast<ErrorCode>(GetLastError());
  got = n;
  return 0;
}

ErrorCode EmptyFile(FileHandle handle) {
  FileLockHeld held;
  QuietErrors quiet;
  if (!Empty(reinterpret_cast<HANDLE>(handle.value))) return static_cast<ErrorCode>(GetLastError());
  return 0;
}

std::size_t SystemErrorTextInto(ErrorCode code, char* out, std::size_t room) {
  DWORD n = room == 0 ? 0
                      : FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                       static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), out,
                                       static_cast<DWORD>(room), nullptr);
  if (n == 0) {
    int made = std::snprintf(out, room, "error %d", code);
    return made < 0 ? 0 : std::min(static_cast<std::size_t>(made), room == 0 ? 0 : room - 1);
  }
  while (n > 0 && (out[n - 1] == '\r' || out[n - 1] == '\n' || out[n - 1] == ' ' || out[n - 1] == '.')) --n;
  return n;
}

std::string SystemErrorText(ErrorCode code) {
  char words[512];
  return std::string(words, SystemErrorTextInto(code, words, sizeof words));
}
const ErrorCode NoMemory = ERROR_NOT_ENOUGH_MEMORY;

[[noreturn]] void ExitWithStatus(int status) { ExitProcess(static_cast<UINT>(status)); }

}  // namespace platform
