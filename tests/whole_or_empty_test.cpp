// Under every fault each of the twenty files is complete, empty or as it
// was; each emptied file is named once on standard error. Swept over size
// limits, full disks and interruptions at many moments.
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> AllNames() {
  std::vector<std::string> names{"BOOT.INC", "rfc1918.nam", "r192168.rev"};
  for (int n = 16; n <= 31; ++n) names.push_back("r172" + std::to_string(n) + ".rev");
  names.push_back("r10.rev");
  return names;
}

// -1 when the file is missing.
long long SizeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

bool SameBytes(const std::string& a, const std::string& b) {
  if (SizeOf(a) != SizeOf(b)) return false;
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  std::vector<char> p(1 << 20), q(1 << 20);
  while (x && y) {
    x.read(p.data(), static_cast<std::streamsize>(p.size()));
    y.read(q.data(), static_cast<std::streamsize>(q.size()));
    if (x.gcount() != y.gcount() || std::memcmp(p.data(), q.data(), static_cast<std::size_t>(x.gcount())) != 0)
      return false;
  }
  return true;
}

// A folder of files as a run of some kind left them, made once and
// removed at exit.
const std::string& RunOnce(const std::string& base, const std::vector<std::string>& args) {
  static std::map<std::string, std::unique_ptr<TempDir>> made;
  std::string key = base;
  for (const std::string& a : args) key += " " + a;
  auto& dir = made[key];
  if (!dir) {
    setenv("ZONQUIST_TEST_TMP", base.c_str(), 1);
    dir = std::make_unique<TempDir>();
    unsetenv("ZONQUIST_TEST_TMP");
    EXPECT_EQ(RunZonquistIn(dir->path(), args).status, 0);
  }
  return dir->path();
}

void CopyFiles(const std::string& from, const std::string& to) {
  for (const std::string& name : ListDirectory(from))
    std::filesystem::copy_file(from + "/" + name, to + "/" + name, std::filesystem::copy_options::overwrite_existing);
}

struct Tally {
  int states = 0;
  int emptied = 0;
};

// The invariant after one faulty run: every file complete, empty or as it
// was (`older`, empty string: none), the emptied ones named once on
// standard error, and named-checkzone refusing what is not complete.
void ExpectWholeOrEmpty(const std::string& dir, const std::string& complete, const std::string& older,
                        const RunResult& r, Tally& tally) {
  ++tally.states;
  std::set<std::string> empty;
  for (const std::string& name : AllNames()) {
    std::string path = dir + "/" + name;
    long long size = SizeOf(path);
    bool whole = SameBytes(path, complete + "/" + name);
    bool untouched = older.empty() ? size < 0 : SameBytes(path, older + "/" + name);
    if (size == 0) empty.insert(name);
    EXPECT_TRUE(whole || size == 0 || untouched) << name << " is cut short: " << size << " bytes";
  }
  std::set<std::string> named;
  for (const std::string& line : SplitLines(r.err)) {
    std::string prefix = "Error: could not write ";
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
    std::string name = line.substr(prefix.size(), line.find(':', prefix.size()) - prefix.size());
    EXPECT_TRUE(named.insert(name).second) << "named twice: " << name;
  }
  EXPECT_EQ(named, empty) << r.err;
  tally.emptied += static_cast<int>(empty.size());
  static bool checked = false;
  if (!empty.empty() && !checked && access("/usr/bin/named-checkzone", X_OK) == 0) {
    checked = true;  // one empty zone is like any other
    std::string command = "/usr/bin/named-checkzone 10.in-addr.arpa. " + dir + "/" + *empty.begin() + " >/dev/null 2>&1";
    EXPECT_NE(std::system(command.c_str()), 0) << "named-checkzone loads an empty zone";
  }
}

const std::vector<std::string> kOlder = {"/C", "old.example."};

TEST(WholeOrEmpty, FileSizeLimitSweep) {
  Tally tally;
  struct Sweep {
    std::vector<std::string> args;
    double largest;  // bytes
  } sweeps[] = {{{"/C", "lan.internal."}, 4.5e6}, {{"/B", "lan.internal."}, 40e6}};
  for (const Sweep& s : sweeps) {
    const std::string& complete = RunOnce("/tmp", s.args);
    const std::string& older = RunOnce("/tmp", kOlder);
    // Limits from 4 KiB, so that the console lines still fit, up past the
    // largest file, 15 in geometric steps.
    for (int i = 0; i < 15; ++i) {
      long long limit = std::llround(4096 * std::pow(s.largest / 4096, i / 14.0));
      SCOPED_TRACE(s.args[0] + " with a file size limit of " + std::to_string(limit));
      TempDir dir;
      CopyFiles(older, dir.path());
      RunOptions options;
      options.fileSizeLimit = limit;
      RunResult r = RunZonquistIn(dir.path(), s.args, options);
      ExpectWholeOrEmpty(dir.path(), complete, older, r, tally);
      EXPECT_EQ(r.status, r.err.empty() ? 0 : 2);
      if (!r.err.empty()) {
        EXPECT_NE(r.err.find(": File too large"), std::string::npos) << r.err;
      }
    }
  }
  EXPECT_GE(tally.emptied, 20);
  std::printf("file size limits: %d states, %d files emptied\n", tally.states, tally.emptied);
}

TEST(WholeOrEmpty, FullDiskSweep) {
  ZONQUIST_NEEDS(geteuid() == 0, "mounting a small tmpfs needs root");
  Tally tally;
  const std::vector<std::string> args = {"/C", "lan.internal."};
  const std::string& complete = RunOnce("/tmp", args);
  const long long kib[] = {4, 8, 12, 16, 64, 256, 1024, 2048, 2300, 2600, 3072, 4096, 5120, 6144, 6400, 6600, 8192};
  for (long long size : kib) {
    SCOPED_TRACE("a tmpfs of " + std::to_string(size) + " KiB");
    TempDir dir;
    std::string options = "size=" + std::to_string(size) + "k";
    ASSERT_EQ(mount("zonquist-test", dir.path().c_str(), "tmpfs", 0, options.c_str()), 0) << std::strerror(errno);
    RunResult r = RunZonquistIn(dir.path(), args);
    ExpectWholeOrEmpty(dir.path(), complete, "", r, tally);
    EXPECT_EQ(r.status, r.err.empty() ? 0 : 2);
    umount(dir.path().c_str());
  }
  EXPECT_GE(tally.emptied, 10);
  std::printf("full disks: %d states, %d files emptied\n", tally.states, tally.emptied);
}

std::string RoomyPlace(unsigned long long bytes) {
  for (const char* place : {"/dev/shm", "/tmp"}) {
    struct statvfs fs {};
    if (statvfs(place, &fs) == 0 && static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize > bytes) return place;
  }
  return "";
}

// Interrupted at many moments: the files being written are emptied and
// named, the run dies of the signal, and it never says "Done.".
TEST(WholeOrEmpty, InterruptionSweep) {
  const int signals[] = {SIGINT, SIGTERM, SIGHUP};
  Tally tally;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"/B", "lan.internal."}, std::vector<std::string>{"lan.internal."}}) {
    std::string base = args.size() == 1 ? RoomyPlace(5ull << 30) : "/tmp";
    if (base.empty()) {
      std::printf("full-run interruptions skipped: less than 5 GB free in /dev/shm and /tmp\n");
      continue;
    }
    auto started = Clock::now();
    const std::string& complete = RunOnce(base, args);
    const std::string& older = RunOnce(base, kOlder);
    double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    setenv("ZONQUIST_TEST_TMP", base.c_str(), 1);
    for (int i = 0; i < 22; ++i) {
      int signal = signals[i % 3];
      double at = seconds * i / 20.0;
      SCOPED_TRACE(args[0] + " interrupted by signal " + std::to_string(signal) + " after " + std::to_string(at) + " s");
      TempDir dir, capture;
      CopyFiles(older, dir.path());
      pid_t pid = fork();
      if (pid == 0) {
        dup2(open((capture / "out").c_str(), O_WRONLY | O_CREAT, 0600), 1);
        dup2(open((capture / "err").c_str(), O_WRONLY | O_CREAT, 0600), 2);
        if (chdir(dir.path().c_str()) != 0) _exit(126);
        std::string exe = ZonquistBinary();
        std::vector<char*> argv{exe.data()};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
      }
      std::this_thread::sleep_for(std::chrono::duration<double>(at));
      kill(pid, signal);
      int status = 0;
      waitpid(pid, &status, 0);
      RunResult r;
      r.err = ReadFile(capture / "err");
      r.out = ReadFile(capture / "out");
      ExpectWholeOrEmpty(dir.path(), complete, older, r, tally);
      if (WIFSIGNALED(status)) {
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_EQ(r.out.find("Done."), std::string::npos);
        if (!r.err.empty()) {
          EXPECT_NE(r.err.find(": interrupted"), std::string::npos) << r.err;
        }
      } else {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(r.err, "");
      }
    }
    unsetenv("ZONQUIST_TEST_TMP");
  }
  EXPECT_GE(tally.emptied, 15);
  std::printf("interruptions: %d states, %d files emptied\n", tally.states, tally.emptied);
}

// A second run in a folder that a first one is writing writes nothing.
TEST(WholeOrEmpty, OneRunPerFolder) {
  TempDir dir;
  CopyFiles(RunOnce("/tmp", kOlder), dir.path());
  StalledRun first(dir.path(), "aaa.example.");
  std::map<std::string, std::string> before;
  for (const std::string& name : AllNames())
    if (name != "r17220.rev") before[name] = ReadFile(dir / name);
  RunResult second = RunZonquistIn(dir.path(), {"/C", "bbb.example."});
  for (const auto& [name, bytes] : before) EXPECT_TRUE(ReadFile(dir / name) == bytes) << name;
  first.Stop(SIGTERM);
  EXPECT_EQ(second.status, 2);
  EXPECT_EQ(second.out, JoinLines({"Talvenor Zonquist 20070118", " + Including class C block detail only"}));
  EXPECT_EQ(second.err, JoinLines({"Error: another run is writing in this folder"}));
}

// A file held with any kind of lock is left as it is.
TEST(WholeOrEmpty, LocksOfEveryKind) {
  for (LockKind kind : {LockKind::Flock, LockKind::Fcntl, LockKind::Lockf, LockKind::Ofd}) {
    SCOPED_TRACE(static_cast<int>(kind));
    TempDir dir;
    WriteFile(dir / "rfc1918.nam", "held\n");
    RunResult r;
    {
      LockHolder holder(dir / "rfc1918.nam", kind);
      r = RunZonquistIn(dir.path(), {"/C", "lan.internal."});
    }
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, JoinLines({"Error: could not write rfc1918.nam: Resource temporarily unavailable"}));
    EXPECT_EQ(ReadFile(dir / "rfc1918.nam"), "held\n");
  }
}

// Console lines never land inside a zone file: one that is the standard
// output is left to the console lines and reported.
TEST(WholeOrEmpty, StandardOutputIsNeverAnOutputFile) {
  const std::string& complete = RunOnce("/tmp", {"/C", "lan.internal."});
  for (const std::string name : {"BOOT.INC", "r10.rev"}) {
    TempDir dir;
    RunOptions options;
    options.output = StandardOutput::IntoFile;
    options.outputFile = dir / name;
    RunResult r = RunZonquistIn(dir.path(), {"/C", "lan.internal."}, options);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, JoinLines({"Error: could not write " + name + ": it is the standard output"}));
    EXPECT_EQ(ReadFile(dir / name), JoinLines(RunTranscript("C")));
    for (const std::string& other : AllNames()) {
      if (other != name) {
        EXPECT_TRUE(SameBytes(dir / other, complete + "/" + other)) << other;
      }
    }
  }
}

bool Sanitized() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#elif defined(__has_feature)
  return __has_feature(address_sanitizer);
#else
  return false;
#endif
}

// Too little memory for a file's buffer fails that file alone, untouched;
// the run never aborts.
TEST(WholeOrEmpty, OutOfMemorySweep) {
  if (Sanitized()) GTEST_SKIP() << "the sanitizers reserve more address space than any limit here";
  const std::string& complete = RunOnce("/tmp", {"/C", "lan.internal."});
  const std::string& older = RunOnce("/tmp", kOlder);
  int refused = 0;
  Tally tally;
  for (long long kib = 2048; kib <= 12288; kib += 256) {
    SCOPED_TRACE("address space " + std::to_string(kib) + " KiB");
    TempDir dir;
    CopyFiles(older, dir.path());
    RunOptions options;
    options.addressSpaceLimit = kib * 1024;
    RunResult r = RunZonquistIn(dir.path(), {"/C", "lan.internal."}, options);
    if (r.status == 127 || r.status == 128 + SIGSEGV) continue;  // too little to start at all
    EXPECT_TRUE(r.status == 0 || r.status == 2) << r.status << r.err;
    if (r.status != 2) {
      ExpectWholeOrEmpty(dir.path(), complete, older, r, tally);
      continue;
    }
    ++refused;
    for (const std::string& line : SplitLines(r.err)) EXPECT_NE(line.find(": Cannot allocate memory"), std::string::npos);
    for (const std::string& name : AllNames())
      EXPECT_TRUE(SameBytes(dir / name, complete + "/" + name) || SameBytes(dir / name, older + "/" + name)) << name;
  }
  EXPECT_GT(refused, 0) << "no limit was tight enough to refuse a buffer";
}

}  // namespace
