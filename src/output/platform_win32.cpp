// The platform layer on Windows: the console and file calls of Win32.
#include "output/platform.h"

#include <windows.h>

#include <string>

#include "cli/command_line.h"

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

ErrorCode WriteHandle(HANDLE handle, const char* bytes, std::size_t size) {
  QuietErrors quiet;
  while (size > 0) {
    DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(handle, bytes, chunk, &written, nullptr)) return static_cast<ErrorCode>(GetLastError());
    if (written == 0) return ERROR_DISK_FULL;
    bytes += written;
    size -= written;
  }
  return 0;
}

void WriteQuietly(HANDLE handle, std::string_view bytes) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  WriteHandle(handle, bytes.data(), bytes.size());
}

}  // namespace

void InitProcess() {}

std::string CommandTail(int, char**) { return std::string(WindowsCommandTail(GetCommandLineA())); }

void UpperCase(std::string& text) {
  if (!text.empty()) CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
}

void LowerCase(std::string& text) {
  if (!text.empty()) CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
}

void WriteStandardOutput(std::string_view bytes) { WriteQuietly(StandardOutputHandle(), bytes); }
void WriteStandardError(std::string_view bytes) { WriteQuietly(GetStdHandle(STD_ERROR_HANDLE), bytes); }

void SetConsoleTitleText(std::string_view title) { SetConsoleTitleA(std::string(title).c_str()); }

char SecondsUnitsDigit() {
  // The local clock is read only when the system clock's second has moved:
  // the two seconds turn together, and the cheap read runs per address.
  static ULONGLONG lastSecond = ~0ull;
  static char digit = '0';
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULONGLONG second = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32 | now.dwLowDateTime) / 10000000ull;
  if (second != lastSecond) {
    QuietErrors quiet;
    SYSTEMTIME local;
    GetLocalTime(&local);
    digit = static_cast<char>('0' + local.wSecond % 10);
    lastSecond = second;
  }
  return digit;
}

ErrorCode OpenForWriting(const std::string& name, FileHandle& handle) {
  QuietErrors quiet;
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, &inheritable, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return static_cast<ErrorCode>(GetLastError());
  bool isDisk = GetFileType(file) == FILE_TYPE_DISK;
  if (isDisk) {
    if ((SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
         GetLastError() != NO_ERROR) ||
        !SetEndOfFile(file)) {
      ErrorCode e = static_cast<ErrorCode>(GetLastError());
      CloseHandle(file);
      return e;
    }
  }
  handle.value = reinterpret_cast<std::intptr_t>(file);
  handle.isDisk = isDisk;
  return 0;
}

ErrorCode WriteAll(FileHandle handle, const char* bytes, std::size_t size) {
  return WriteHandle(reinterpret_cast<HANDLE>(handle.value), bytes, size);
}

ErrorCode CutAndClose(FileHandle handle) {
  QuietErrors quiet;
  HANDLE file = reinterpret_cast<HANDLE>(handle.value);
  ErrorCode result = 0;
  if (handle.isDisk && !SetEndOfFile(file)) result = static_cast<ErrorCode>(GetLastError());
  if (!CloseHandle(file) && result == 0) result = static_cast<ErrorCode>(GetLastError());
  return result;
}

std::string ErrorText(ErrorCode code) {
  char* text = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                           reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string message = n > 0 && text != nullptr ? std::string(text, n) : "error " + std::to_string(code);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n' || message.back() == ' ' ||
                              message.back() == '.'))
    message.pop_back();
  return message;
}

[[noreturn]] void ExitWithStatus(int status) { ExitProcess(static_cast<UINT>(status)); }

}  // namespace platform
