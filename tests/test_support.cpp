#include "test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

#include <gtest/gtest.h>

#include "output/platform.h"

TempDir::TempDir() {
  const char* base = std::getenv("ZONQUIST_TEST_TMP");
  std::string pattern = std::string(base ? base : "/tmp") + "/zonquist-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
  path_ = buffer.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

InDirectory::InDirectory(const std::string& path) : previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(path);
}
InDirectory::~InDirectory() { std::filesystem::current_path(previous_); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> ListDirectory(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool SkipMissing() {
  const char* skip = std::getenv("ZONQUIST_SKIP_MISSING");
  return skip != nullptr && std::string(skip) == "1";
}

std::string BuildLineEnd() {
  const std::string exe = ZonquistBinary();
  return exe.size() > 4 && exe.compare(exe.size() - 4, 4, ".exe") == 0 ? "\r\n" : "\n";
}

std::string Native(std::string text) {
  std::string out;
  for (char c : text) {
    if (c == '\n')
      out += platform::LineEnd;
    else
      out += c;
  }
  return out;
}

std::vector<std::string> SplitLines(const std::string& bytes) {
  const std::string eol = BuildLineEnd();
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find(eol, start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "text does not end in the build's line end";
      lines.push_back(bytes.substr(start));
      break;
    }
    std::string line = bytes.substr(start, end - start);
    if (line.find_first_of("\r\n") != std::string::npos) ADD_FAILURE() << "stray line end in: " << line;
    lines.push_back(std::move(line));
    start = end + eol.size();
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + BuildLineEnd();
  return text;
}

std::string ZonquistBinary() {
  const char* exe = std::getenv("ZONQUIST_EXE");
  return exe && *exe ? exe : ZONQUIST_BINARY_PATH;
}

RunResult RunZonquistIn(const std::string& dir, const std::vector<std::string>& args,
                        const RunOptions& options) {
  const char* launcher = std::getenv("ZONQUIST_LAUNCHER");
  std::vector<std::string> argv = options.prefix;
  if (options.prefixOnly) {
  } else if (options.nativeBuild) {
    argv.push_back(ZONQUIST_BINARY_PATH);
  } else {
    if (launcher && *launcher) argv.push_back(launcher);
    argv.push_back(ZonquistBinary());
  }
  argv.insert(argv.end(), args.begin(), args.end());

  TempDir capture;
  std::string outPath = capture / "out", errPath = capture / "err";
  int pipeFds[2] = {-1, -1};
  if (options.output == StandardOutput::FirstLineOnly && pipe(pipeFds) != 0) ADD_FAILURE() << "pipe";
  pid_t pid = fork();
  if (pid == 0) {
    const std::string& errorTo = options.errorFile.empty() ? errPath : options.errorFile;
    int err = open(errorTo.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(err, 2);
    if (options.output == StandardOutput::Captured) {
      dup2(open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    } else if (options.output == StandardOutput::IntoFile) {
      dup2(open(options.outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    } else if (options.output == StandardOutput::FirstLineOnly) {
      dup2(pipeFds[1], 1);
      close(pipeFds[0]);
      close(pipeFds[1]);
    } else {
      close(1);
      if (options.output == StandardOutput::BothClosed) close(2);
    }
    if (chdir(dir.c_str()) != 0) _exit(126);
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    unsetenv("TERM");
    for (const std::string& e : options.env) putenv(const_cast<char*>(e.c_str()));
    struct rlimit limit {};
    if (options.fileSizeLimit >= 0) {
      limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(options.fileSizeLimit);
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.addressSpaceLimit >= 0) {
      limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(options.addressSpaceLimit);
      setrlimit(RLIMIT_AS, &limit);
    }
    execvp(raw[0], raw.data());
    _exit(127);
  }
  RunResult result;
  if (options.output == StandardOutput::FirstLineOnly) {
    close(pipeFds[1]);
    char c;
    while (read(pipeFds[0], &c, 1) == 1) {
      result.out += c;
      if (c == '\n') break;
    }
    close(pipeFds[0]);
  }
  int wstatus = 0;
  bool ended = false;
  auto exited = [&] { return ended || (ended = waitpid(pid, &wstatus, WNOHANG) == pid); };
  if (options.signal != 0) {
    // Counted from the start, or from when the named file exists (a busy
    // machine can take seconds to start a run); a run that ends first is
    // not waited out.
    using Clock = std::chrono::steady_clock;
    auto from = Clock::now();
    for (int i = 0; i < 12000 && !options.signalOnceMade.empty() && !Exists(options.signalOnceMade) && !exited();
         ++i, from = Clock::now())
      usleep(10000);
    while (!exited() && Clock::now() - from < std::chrono::duration<double>(options.signalAfter)) usleep(1000);
    if (!exited()) kill(pid, options.signal);
  }
  if (!ended) waitpid(pid, &wstatus, 0);
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  if (options.output == StandardOutput::Captured) result.out = ReadFile(outPath);
  result.err = ReadFile(errPath);
  return result;
}

FileScan ScanLines(const std::string& path) {
  const bool crlf = BuildLineEnd() == "\r\n";
  FileScan scan;
  std::ifstream in(path, std::ios::binary);
  std::vector<char> block(1 << 20);
  std::string pending;  // a line that runs on into the next block
  auto endLine = [&](std::string_view line) {
    if (crlf && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    else if (crlf) scan.wellFormed = false;
    if (line.empty() || line.find('\r') != std::string_view::npos) scan.wellFormed = false;
    ++scan.lines;
    if (scan.first.size() < 5) scan.first.emplace_back(line);
    scan.last.assign(line);
  };
  while (in) {
    in.read(block.data(), static_cast<std::streamsize>(block.size()));
    const char* p = block.data();
    const char* end = p + in.gcount();
    scan.bytes += static_cast<std::uint64_t>(end - p);
    while (const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) {
      std::string_view line(p, static_cast<std::size_t>(nl - p));
      if (pending.empty()) {
        endLine(line);
      } else {
        pending.append(line);
        endLine(pending);
        pending.clear();
      }
      p = nl + 1;
    }
    pending.append(p, static_cast<std::size_t>(end - p));
  }
  if (!pending.empty()) scan.wellFormed = false;
  return scan;
}

std::vector<ExpectedZone> ExpectedReverseZones() {
  std::vector<ExpectedZone> zones{{"r192168.rev", "192.168", "168.192", 'C'}};
  for (int n = 16; n <= 31; ++n)
    zones.push_back({"r172" + std::to_string(n) + ".rev", "172." + std::to_string(n), std::to_string(n) + ".172", 'B'});
  zones.push_back({"r10.rev", "10", "10", 'A'});
  return zones;
}

std::vector<std::string> OutputNames() {
  std::vector<std::string> names{"BOOT.INC", "rfc1918.nam"};
  for (const ExpectedZone& z : ExpectedReverseZones()) names.push_back(z.file);
  return names;
}

std::string NotDoneLine(std::size_t notWritten) {
  return "Not done: " + std::to_string(notWritten) + " of 20 files not written.";
}

std::vector<std::string> RunTranscript(const std::string& detailClasses, std::size_t notWritten) {
  std::vector<std::string> lines{"Talvenor Zonquist 20070118"};
  if (detailClasses.size() == 1)
    lines.push_back(" + Including class " + detailClasses + " block detail only");
  lines.push_back("Creating BOOT.NAM include file (BOOT.INC) to include in your BOOT.NAM file.");
  lines.push_back("Creating RFC1918.NAM");
  const std::pair<char, const char*> blocks[] = {{'C', " + Processing 192.168.0.0/16 block"},
                                                 {'B', " + Processing 172.16.0.0/12 block"},
                                                 {'A', " + Processing 10.0.0.0/8 block"}};
  for (const auto& [letter, progress] : blocks) {
    bool detailed = detailClasses.find(letter) != std::string::npos;
    if (detailed) lines.push_back(progress);
    for (const ExpectedZone& z : ExpectedReverseZones()) {
      if (z.letter != letter) continue;
      const std::string first = z.net + (letter == 'A' ? ".0.0.0" : ".0.0");
      const std::string last = z.net + (letter == 'A' ? ".255.255.255" : ".255.255");
      lines.push_back("Creating " + z.file + (detailed ? " (" + first + " - " + last + ")" : ""));
    }
  }
  lines.push_back(notWritten == 0 ? "Done." : NotDoneLine(notWritten));
  return lines;
}

void ExpectConsole(const RunResult& r, std::vector<std::string> transcript, int status) {
  std::string error;
  if (status != 0 && !transcript.empty()) error = JoinLines({transcript.back()}), transcript.pop_back();
  EXPECT_EQ(r.out, JoinLines(transcript));
  EXPECT_EQ(r.err, error);
  EXPECT_EQ(r.status, status);
}

std::vector<std::string> HelpTranscript() {
  return {
      "Talvenor Zonquist 20070118",
      "This tool creates all of the DNS files required to fully host",
      "a complete reverse DNS for all of the RFC1918 private IP address",
      "blocks.",
      "",
      "Syntax: ZONQUIST [/<class>] <private_domain_name>",
      " The private domain must be a fully qualified Internet domain name",
      " to use for all of your private DNS activity. This should NOT be",
      " your public domain name!",
      "",
      "The class is a single letter /A, /B, or /C and limits the output",
      "to just the single class you are using. The other classes will",
      "have a much less detailed DNS listing.",
      "  /A = detail for 10.0.0.0/8",
      "  /B = detail for 172.16.0.0/12",
      "  /C = detail for 192.168.0.0/16",
      "",
      "Please read the enclosed documentation.",
      "",
      "Options, anywhere on the line, as --name VALUE or --name=VALUE:",
      "  --serial N          every zone's SOA serial, 1 to 4294967295 (default 1)",
      "  --serial unixtime   the run's start in seconds since 1970 (UTC)",
      "  --serial next       one above each zone file's own; unchanged files kept",
      "  --ttl N             the TTL of every record, 0 to 2147483647 seconds",
      "  --detail a.b.c.d/n  detail for this prefix too, or alone without a switch;",
      "                      repeat it for more prefixes",
      "  --hosts FILE        real hosts' names from FILE (as /etc/hosts), and detail",
      "                      for them only without a switch or --detail; repeatable",
      "  --records FILE      records of your own (zone-file syntax), checked and",
      "                      written into rfc1918.nam; repeatable",
      "  --leases FILE       the names DHCP clients gave, from a lease file of ISC",
      "                      dhcpd, Kea or dnsmasq, as a hosts file's; repeatable",
      "  --catalog NAME      a catalog zone NAME (RFC 9432) of every zone, for",
      "                      secondaries; written to catalog.zone",
      "  --ipv6              IPv6 too: rfd.rev for fd00::/8, and AAAA records for the",
      "                      hosts files' IPv6 names (no value)",
  };
}

std::string OctetsText(Ipv4Value v, char separator, bool backwards) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const int shift = backwards ? 8 * i : 24 - 8 * i;
    text += (i ? std::string(1, separator) : "") + std::to_string(static_cast<std::uint32_t>(v) >> shift & 0xFF);
  }
  return text;
}

Ipv4Value Q(std::string_view dotted) {
  std::optional<Ipv4Value> v = ParseStrictDottedQuad(dotted);
  if (!v) ADD_FAILURE() << "not an address: " << dotted;
  return v.value_or(0);
}

LockHolder::LockHolder(const std::string& path, LockKind kind) {
  int ready[2];
  if (pipe(ready) != 0) ADD_FAILURE() << "pipe";
  pid_ = fork();
  if (pid_ == 0) {
    int fd = open(path.c_str(), kind == LockKind::Flock ? O_RDONLY : O_RDWR);
    struct flock record {};
    record.l_type = F_WRLCK;
    record.l_whence = SEEK_SET;
    bool held = kind == LockKind::Flock   ? flock(fd, LOCK_EX) == 0
                : kind == LockKind::Fcntl ? fcntl(fd, F_SETLK, &record) == 0
                : kind == LockKind::Lockf ? lockf(fd, F_TLOCK, 0) == 0
                                          : fcntl(fd, F_OFD_SETLK, &record) == 0;
    if (!held) _exit(1);
    char c = 1;
    if (write(ready[1], &c, 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  char c;
  if (read(ready[0], &c, 1) != 1) ADD_FAILURE() << "lock holder did not start";
  close(ready[0]);
  close(ready[1]);
}

LockHolder::~LockHolder() {
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

StalledRun::StalledRun(const std::string& dir, const std::string& domain, int ignored) {
  std::string fifo = dir + "/r17220.rev";
  unlink(fifo.c_str());
  if (mkfifo(fifo.c_str(), 0600) != 0) ADD_FAILURE() << "mkfifo";
  stalled_ = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(open((capture_ / "out").c_str(), O_WRONLY | O_CREAT, 0600), 1);
    dup2(open((capture_ / "err").c_str(), O_WRONLY | O_CREAT, 0600), 2);
    if (chdir(dir.c_str()) != 0) _exit(126);
    if (ignored != 0) signal(ignored, SIG_IGN);
    std::string exe = ZonquistBinary();
    execl(exe.c_str(), exe.c_str(), "/B", domain.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  for (int i = 0; i < 500 && Console().find("Creating r17220.rev") == std::string::npos; ++i) usleep(10000);
  usleep(100000);
}

bool StalledRun::Survives(int signal) {
  kill(pid_, signal);
  usleep(300000);
  return waitpid(pid_, nullptr, WNOHANG) == 0;
}

int StalledRun::Stop(int signal) {
  int status = 0;
  if (pid_ > 0) {
    kill(pid_, signal);
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  return status;
}

StalledRun::~StalledRun() {
  Stop(SIGKILL);
  close(stalled_);
}

std::string StalledRun::Console() const { return ReadFile(capture_ / "out"); }
std::string StalledRun::Errors() const { return ReadFile(capture_ / "err"); }
