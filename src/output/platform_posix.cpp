// The platform layer on Linux and other POSIX systems.
#include "output/platform.h"
#include "output/watched_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace platform {

const std::string_view LineEnd = "\n";

namespace {

// 0, or why not everything was written.
int WriteQuietly(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return ENOSPC;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return 0;
}

// Every signal whose default action ends the process, but those of a
// fault in the process itself (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT),
// which the guard line covers like SIGKILL. SIGPIPE and SIGXFSZ are
// ignored: they come as write errors.
const int kWatchedSignals[] = {
    SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGTRAP, SIGSYS,
#ifdef SIGPOLL
    SIGPOLL,
#elif defined(SIGIO)
    SIGIO,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};

sigset_t WatchedSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kWatchedSignals) sigaddset(&set, s);
  return set;
}

// Async-signal-safe: ftruncate, write, sigprocmask, raise.
void OnInterrupt(int signal) {
  for (const WatchedFile& w : WatchedFiles) {
    if (w.handle < 0) continue;
    if (w.isDisk) (void)!::ftruncate(static_cast<int>(w.handle), 0);
    WriteQuietly(STDERR_FILENO, std::string_view(w.line, w.length));
  }
  // Die of the signal itself, so that the shell sees an interrupted run.
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  sigaction(signal, &plain, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(signal);
}

bool SameFile(const struct stat& a, int fd) {
  struct stat b {};
  return ::fstat(fd, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
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
  std::signal(SIGXFSZ, SIG_IGN);
  struct sigaction interrupt {};
  interrupt.sa_handler = OnInterrupt;
  interrupt.sa_mask = WatchedSignalSet();
  for (int s : kWatchedSignals) {
    struct sigaction previous {};
    // A signal ignored by whoever started us (nohup, a background job of a
    // shell without job control) stays ignored.
    if (sigaction(s, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    sigaction(s, &interrupt, nullptr);
  }
}

void HoldInterrupts() {
  sigset_t set = WatchedSignalSet();
  sigprocmask(SIG_BLOCK, &set, nullptr);
}

static_assert(sizeof(sigset_t) <= sizeof(InterruptionsHeld) && alignof(sigset_t) <= alignof(InterruptionsHeld),
              "the saved mask fits, aligned");
InterruptionsHeld::InterruptionsHeld() {
  sigset_t set = WatchedSignalSet();
  sigprocmask(SIG_BLOCK, &set, reinterpret_cast<sigset_t*>(saved_));
}
InterruptionsHeld::~InterruptionsHeld() { sigprocmask(SIG_SETMASK, reinterpret_cast<sigset_t*>(saved_), nullptr); }

namespace {

// The locked folder, kept open until the process ends; -1 before.
int lockedFolder = -1;

std::string IdentityOf(const struct stat& st) {
  return "file " + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

// Where a link's target lies: against the link's own folder when relative.
std::string Beside(const std::string& link, const char* target, std::size_t length) {
  if (length > 0 && target[0] == '/') return std::string(target, length);
  std::string::size_type slash = link.rfind('/');
  return (slash == std::string::npos ? std::string() : link.substr(0, slash + 1)) + std::string(target, length);
}

}  // namespace

ErrorCode LockWorkingFolder() {
  // Held by the open descriptor until the process ends. The lock belongs
  // to the folder itself, so a link or a bind mount to it meets the same
  // lock. A folder that cannot be opened cannot be locked: no run there.
  int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ErrorCode e = errno == EWOULDBLOCK ? FolderBusy : errno;
    ::close(fd);
    return e;
  }
  lockedFolder = fd;
  return 0;
}

ErrorCode SyncFolder() {
  int fd = lockedFolder >= 0 ? lockedFolder : ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  ErrorCode e = ::fsync(fd) != 0 ? errno : 0;
  if (fd != lockedFolder) ::close(fd);
  return e;
}

std::string FileIdentity(const std::string& name) {
  struct stat st {};
  if (::stat(name.c_str(), &st) == 0) {
    // A device or pipe is never rewritten: two names may share it.
    if (!S_ISREG(st.st_mode)) return "";
    return IdentityOf(st);
  }
  // Nothing there yet: the path that creating it would take, through every
  // link of a dangling chain.
  std::string path = name;
  char target[4096];
  for (int hop = 0; hop < 40; ++hop) {
    ssize_t n = ::readlink(path.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) break;
    path = Beside(path, target, static_cast<std::size_t>(n));
  }
  std::string::size_type slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  char* real = ::realpath(folder.c_str(), nullptr);
  if (real == nullptr) return "";
  std::string identity = std::string("path ") + real + "/" + path.substr(slash == std::string::npos ? 0 : slash + 1);
  std::free(real);
  return identity;
}

ErrorCode ReadWholeFile(const std::string& name, std::string& text) {
  int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return errno;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) text.reserve(static_cast<std::size_t>(st.st_size));
  char chunk[65536];
  ErrorCode e = 0;
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) e = errno;
    if (n <= 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return e;
}

std::string AbsolutePath(const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  char* here = ::getcwd(nullptr, 0);
  if (here == nullptr) return "";
  std::string path = here;
  std::free(here);
  std::string_view rest = name;
  while (rest.substr(0, 2) == "./") rest.remove_prefix(2);
  return path + (path.back() == '/' ? "" : "/") + std::string(rest);
}

CommandLine CommandLineOf(int argc, char** argv) {
  return JoinedArguments(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
}

ErrorCode WriteStandardOutput(std::string_view bytes) {
  int e = WriteQuietly(STDOUT_FILENO, bytes);
  return e == EPIPE ? 0 : e;
}
void WriteStandardError(std::string_view bytes) { (void)WriteQuietly(STDERR_FILENO, bytes); }

void SetConsoleTitleText(std::string_view title) {
  int fd = TitleTerminal();
  // Only from the terminal's foreground: a background job that writes there
  // may be stopped (stty tostop) and never finish.
  if (fd < 0 || ::tcgetpgrp(fd) != ::getpgrp()) return;
  std::string sequence = "\x1b]2;";
  sequence += title;
  sequence += '\a';
  WriteQuietly(fd, sequence);
}

// time() is a vDSO read here, with no time-zone work.
std::int64_t ClockSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

// Zone offsets are whole minutes, so local and UTC seconds agree.
char LocalSecondsDigit(std::int64_t clockSeconds) {
  return static_cast<char>('0' + static_cast<unsigned long long>(clockSeconds) % 10u);
}

namespace {

// Opens what a name leads to, link by link. Each link is looked at through
// a descriptor of its own, its owner checked and its target read from that
// same descriptor, so a link swapped in meanwhile is never followed. Only
// this user's and root's links are followed.
int OpenThroughTrustedLinks(std::string path, ErrorCode& e) {
  for (int hop = 0; hop < 40; ++hop) {
    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY;
    int fd = ::open(path.c_str(), flags | O_NONBLOCK, 0666);
    if (fd < 0 && errno == ENXIO) {
      // A FIFO with no reader yet: waited for with interruptions let in,
      // since nothing of this run is in the making meanwhile.
      sigset_t watched = WatchedSignalSet(), held;
      sigprocmask(SIG_UNBLOCK, &watched, &held);
      do fd = ::open(path.c_str(), flags, 0666);
      while (fd < 0 && errno == EINTR);
      sigprocmask(SIG_SETMASK, &held, nullptr);
    } else if (fd >= 0) {
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    if (fd >= 0 || errno != ELOOP) {
      e = fd < 0 ? errno : 0;
      return fd;
    }
    int link = ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (link < 0) {
      e = errno;
      return -1;
    }
    struct stat st {};
    char target[4096];
    ssize_t n = 0;
    e = 0;
    if (::fstat(link, &st) != 0) {
      e = errno;
    } else if (S_ISLNK(st.st_mode)) {
      if (st.st_uid != ::geteuid() && st.st_uid != 0) e = ForeignLink;
      else if ((n = ::readlinkat(link, "", target, sizeof target)) < 0) e = errno;
      else if (static_cast<std::size_t>(n) >= sizeof target) e = ENAMETOOLONG;
    }
    ::close(link);
    if (e != 0) return -1;
    // Not a link any more: opened again as it now is.
    if (n > 0) path = Beside(path, target, static_cast<std::size_t>(n));
  }
  e = ELOOP;
  return -1;
}

}  // namespace

ErrorCode OpenFile(const std::string& name, FileHandle& handle) {
  ErrorCode e = 0;
  int fd = OpenThroughTrustedLinks(name, e);
  if (fd < 0) return e;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    e = errno;
    ::close(fd);
    return e;
  }
  handle.value = fd;
  handle.isDisk = S_ISREG(st.st_mode);
  return 0;
}

std::string IdentityOfOpenFile(FileHandle handle) {
  struct stat st {};
  if (!handle.isDisk || ::fstat(static_cast<int>(handle.value), &st) != 0) return "";
  return IdentityOf(st);
}

ErrorCode LockFile(FileHandle handle) {
  // Record locks (fcntl, lockf, OFD) are honoured as well as flock; a file
  // system without record locks does not stop the run.
  const int fd = static_cast<int>(handle.value);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return HeldLocked;
  struct flock record {};
  record.l_type = F_WRLCK;
  record.l_whence = SEEK_SET;
  if (::fcntl(fd, F_OFD_SETLK, &record) != 0 && (errno == EAGAIN || errno == EACCES)) return HeldLocked;
  return 0;
}

ErrorCode ConsoleStreamOf(FileHandle handle) {
  struct stat st {};
  if (::fstat(static_cast<int>(handle.value), &st) != 0) return 0;
  if (SameFile(st, STDOUT_FILENO)) return IsStandardOutput;
  if (SameFile(st, STDERR_FILENO)) return IsStandardError;
  return 0;
}

namespace {

// Everything, looping over short writes; write(p, n, done) writes n bytes
// from p, done bytes into the whole.
template <class Write>
ErrorCode WriteEverything(const char* bytes, std::size_t size, Write&& write) {
  for (std::size_t done = 0; done < size;) {
    ssize_t n = write(bytes + done, size - done, done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ENOSPC;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

}  // namespace

ErrorCode WriteAll(FileHandle handle, const char* bytes, std::size_t size) {
  const int fd = static_cast<int>(handle.value);
  return WriteEverything(bytes, size, [fd](const char* p, std::size_t n, std::size_t) { return ::write(fd, p, n); });
}

ErrorCode WriteAt(FileHandle handle, std::uint64_t offset, const char* bytes, std::size_t size) {
  const int fd = static_cast<int>(handle.value);
  return WriteEverything(bytes, size, [fd, offset](const char* p, std::size_t n, std::size_t done) {
    return ::pwrite(fd, p, n, static_cast<off_t>(offset + done));
  });
}

ErrorCode EndHere(FileHandle handle) {
  int fd = static_cast<int>(handle.value);
  off_t at = ::lseek(fd, 0, SEEK_CUR);
  return at < 0 || ::ftruncate(fd, at) != 0 ? errno : 0;
}

ErrorCode SyncFile(FileHandle handle) {
  return ::fdatasync(static_cast<int>(handle.value)) != 0 ? errno : 0;
}

ErrorCode CloseFile(FileHandle handle) { return ::close(static_cast<int>(handle.value)) != 0 ? errno : 0; }

ErrorCode OpenForReading(const std::string& name, FileHandle& handle) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return errno;
  struct stat st {};
  handle.value = fd;
  handle.isDisk = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  return 0;
}

ErrorCode ReadSome(FileHandle handle, char* bytes, std::size_t size, std::size_t& got) {
  for (;;) {
    const ssize_t n = ::read(static_cast<int>(handle.value), bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    got = static_cast<std::size_t>(n);
    return 0;
  }
}

ErrorCode EmptyFile(FileHandle handle) {
  int fd = static_cast<int>(handle.value);
  // Back to the start too, or the next write or cut would grow it again.
  return ::lseek(fd, 0, SEEK_SET) < 0 || ::ftruncate(fd, 0) != 0 ? errno : 0;
}

std::string SystemErrorText(ErrorCode code) { return std::strerror(code); }
std::size_t SystemErrorTextInto(ErrorCode code, char* out, std::size_t room) {
  const std::string_view words = std::strerror(code);
  return words.copy(out, room);
}
const ErrorCode NoMemory = ENOMEM;

void ExitWithStatus(int status) { std::exit(status); }

}  // namespace platform
