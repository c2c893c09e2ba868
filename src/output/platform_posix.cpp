// The platform layer on Linux and other POSIX systems.
#include "output/platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace platform {

const std::string_view LineEnd = "\n";

namespace {

void WriteQuietly(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

// The terminal that shows the title, opened on first use; -1 when there is
// none, so a title never lands in redirected output.
int TitleTerminal() {
  static int fd = [] {
    const char* term = std::getenv("TERM");
    if (term == nullptr || *term == '\0' || std::strcmp(term, "dumb") == 0) return -1;
    return ::open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  }();
  return fd;
}

}  // namespace

void InitProcess() {
  // A closed standard descriptor would be handed to the first file we
  // open, and console lines would land inside a zone file.
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
      if (null >= 0 && null != fd) {
        ::dup2(null, fd);
        ::close(null);
      }
    }
  }
  std::signal(SIGPIPE, SIG_IGN);
}

std::string CommandTail(int argc, char** argv) {
  std::string tail;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) tail += ' ';
    tail += argv[i];
  }
  return tail;
}

void UpperCase(std::string& text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

void LowerCase(std::string& text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

void WriteStandardOutput(std::string_view bytes) { WriteQuietly(STDOUT_FILENO, bytes); }
void WriteStandardError(std::string_view bytes) { WriteQuietly(STDERR_FILENO, bytes); }

void SetConsoleTitleText(std::string_view title) {
  int fd = TitleTerminal();
  if (fd < 0) return;
  std::string sequence = "\x1b]2;";
  sequence += title;
  sequence += '\a';
  WriteQuietly(fd, sequence);
}

char SecondsUnitsDigit() {
  // Zone offsets are whole minutes, so local and UTC seconds agree; time()
  // is a vDSO read here, with no time-zone work.
  return static_cast<char>('0' + static_cast<unsigned long long>(std::time(nullptr)) % 10u);
}

ErrorCode OpenForWriting(const std::string& name, FileHandle& handle) {
  int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) return errno;
  // Another holder keeps its file untouched: refuse before cutting anything.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    ErrorCode e = errno;
    ::close(fd);
    return e;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    ErrorCode e = errno;
    ::close(fd);
    return e;
  }
  bool isDisk = S_ISREG(st.st_mode);
  if (isDisk && (::lseek(fd, 0, SEEK_SET) < 0 || ::ftruncate(fd, 0) != 0)) {
    ErrorCode e = errno;
    ::close(fd);
    return e;
  }
  handle.value = fd;
  handle.isDisk = isDisk;
  return 0;
}

ErrorCode WriteAll(FileHandle handle, const char* bytes, std::size_t size) {
  int fd = static_cast<int>(handle.value);
  while (size > 0) {
    ssize_t n = ::write(fd, bytes, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ENOSPC;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

ErrorCode CutAndClose(FileHandle handle) {
  int fd = static_cast<int>(handle.value);
  ErrorCode result = 0;
  if (handle.isDisk) {
    off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at < 0 || ::ftruncate(fd, at) != 0) result = errno;
  }
  if (::close(fd) != 0 && result == 0) result = errno;
  return result;
}

std::string ErrorText(ErrorCode code) { return std::strerror(code); }

void ExitWithStatus(int status) { std::exit(status); }

}  // namespace platform
