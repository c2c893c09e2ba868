// Runs under faults and hostile conditions, one checker for all: each of
// the twenty files is complete, as it was, empty or guarded (the guard
// line, then a prefix of the complete file); every file the run changed
// and did not complete is named once on standard error (a run killed
// outright says nothing); the status is the expected one.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "output/output_file.h"
#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::vector<std::string> kArgs = {"/C", "lan.internal."};
const std::vector<std::string> kOlder = {"/C", "old.example."};

// -1 when the file is missing.
long long SizeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// Gigabytes are compared where they lie, mapped, not copied.
struct Mapped {
  void* data = MAP_FAILED;
  std::size_t size;
  Mapped(const std::string& path, long long bytes) : size(static_cast<std::size_t>(bytes)) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (fd >= 0) close(fd);
  }
  ~Mapped() {
    if (data != MAP_FAILED) munmap(data, size);
  }
};
// Whether a's bytes from `from` on equal b's from the same offset, for all
// of a when prefix is set, else for all of both.
bool SameBytesFrom(const std::string& a, const std::string& b, long long from, bool prefix) {
  long long sa = SizeOf(a), sb = SizeOf(b);
  if (sa < 0 || sb < 0 || (prefix ? sa > sb : sa != sb)) return false;
  if (sa <= from) return true;
  Mapped x(a, sa), y(b, sa);
  return x.data != MAP_FAILED && y.data != MAP_FAILED &&
         std::memcmp(static_cast<char*>(x.data) + from, static_cast<char*>(y.data) + from,
                     static_cast<std::size_t>(sa - from)) == 0;
}
bool SameBytes(const std::string& a, const std::string& b) { return SameBytesFrom(a, b, 0, false); }

const std::string kGuard = "INCOMPLETE-ZONQUIST-20070118-IS-WRITING" + BuildLineEnd();

// The guard, then the complete file's bytes from there on, cut anywhere.
bool Guarded(const std::string& path, const std::string& complete) {
  if (SizeOf(path) < static_cast<long long>(kGuard.size())) return false;
  std::string start(kGuard.size(), '\0');
  std::ifstream(path, std::ios::binary).read(start.data(), static_cast<std::streamsize>(start.size()));
  return start == kGuard && SameBytesFrom(path, complete, static_cast<long long>(kGuard.size()), true);
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
const std::string& NormalRun() { return RunOnce("/tmp", kArgs); }

void CopyFiles(const std::string& from, const std::string& to) {
  for (const std::string& name : ListDirectory(from))
    std::filesystem::copy_file(from + "/" + name, to + "/" + name, std::filesystem::copy_options::overwrite_existing);
}

struct Tally {
  int states = 0;
  int emptied = 0;
  int guarded = 0;
  Tally& operator+=(const Tally& o) {
    states += o.states, emptied += o.emptied, guarded += o.guarded;
    return *this;
  }
};

std::string ErrorLine(const std::string& name, const std::string& reason) {
  return "Error: could not write " + name + ": " + reason + BuildLineEnd();
}

// The invariant after one faulty run, against the complete files and the
// ones that were there before (`older`, empty string: none). Returns the
// names said on standard error.
std::set<std::string> ExpectStates(const std::string& dir, const std::string& complete, const std::string& older,
                                   const RunResult& r, Tally& tally, bool killed = false) {
  ++tally.states;
  std::set<std::string> empty, untouched, named;
  for (const std::string& line : SplitLines(r.err)) {
    std::string prefix = "Error: could not write ";
    if (line.rfind(prefix, 0) != 0) {
      EXPECT_EQ(line, "Error: Cannot allocate memory");
      continue;
    }
    std::string name = line.substr(prefix.size(), line.find(':', prefix.size()) - prefix.size());
    EXPECT_TRUE(named.insert(name).second) << "named twice: " << name;
  }
  for (const std::string& name : OutputNames()) {
    std::string path = dir + "/" + name;
    long long size = SizeOf(path);
    bool whole = SameBytes(path, complete + "/" + name);
    bool same = older.empty() ? size < 0 : SameBytes(path, older + "/" + name);
    bool guarded = !whole && Guarded(path, complete + "/" + name);
    if (size == 0) empty.insert(name);
    if (same) untouched.insert(name);
    tally.guarded += guarded;
    EXPECT_TRUE(whole || size == 0 || same || (killed && guarded)) << name << " is cut short: " << size << " bytes";
    if (!killed) {
      EXPECT_TRUE(size != 0 || named.count(name)) << name << " emptied and not named";
    }
    EXPECT_TRUE(!named.count(name) || size == 0 || same) << name << " named, yet changed and kept";
  }
  tally.emptied += static_cast<int>(empty.size());
  static std::atomic<bool> checked{false};
  if (!empty.empty() && access("/usr/bin/named-checkzone", X_OK) == 0 && !checked.exchange(true)) {
    // one empty zone is like any other
    std::string command = "/usr/bin/named-checkzone 10.in-addr.arpa. " + dir + "/" + *empty.begin() + " >/dev/null 2>&1";
    EXPECT_NE(std::system(command.c_str()), 0) << "named-checkzone loads an empty zone";
  }
  return named;
}

// What a name leads to before a run: the bytes of a regular file, "-" for
// nothing, "?" for anything else (a device is never read).
std::string Snapshot(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return "-";
  return S_ISREG(st.st_mode) ? ReadFile(path) : "?";
}

// The console as always, exactly these files named for these reasons in run
// order and left as they were, every other file whole.
void ExpectReported(const TempDir& dir, const RunResult& r,
                    const std::vector<std::pair<std::string, std::string>>& failed,
                    const std::map<std::string, std::string>& before = {}) {
  EXPECT_EQ(r.out, JoinLines(RunTranscript("C", failed.size())));
  std::string errors;
  for (const auto& [name, reason] : failed) {
    errors += ErrorLine(name, reason);
    if (before.count(name)) {
      EXPECT_EQ(Snapshot(dir / name), before.at(name)) << name << " changed";
    }
  }
  EXPECT_EQ(r.err, errors);
  EXPECT_EQ(r.status, failed.empty() ? 0 : 2);
  for (const std::string& name : OutputNames()) {
    if (std::none_of(failed.begin(), failed.end(), [&](const auto& f) { return f.first == name; })) {
      EXPECT_TRUE(SameBytes(dir / name, NormalRun() + "/" + name)) << name;
    }
  }
}
void ExpectReported(const TempDir& dir, const RunResult& r, const std::vector<std::string>& failed,
                    const std::string& reason) {
  std::vector<std::pair<std::string, std::string>> named;
  for (const std::string& name : failed) named.emplace_back(name, reason);
  ExpectReported(dir, r, named);
}

struct Case {
  std::string what;
  std::function<void(const TempDir&)> prepare;
  std::vector<std::pair<std::string, std::string>> failed;  // name and reason, in run order
  bool needsRoot = false;
};

std::pair<std::string, std::string> Same(const std::string& name, const std::string& other) {
  return {name, "it is the same file as " + other};
}

TEST(Faults, EachFailedFileIsReportedAndTheRestIsWhole) {
  TempDir elsewhere;  // another user's secret, and a place of this user's own
  WriteFile(elsewhere / "secret", "secret\n");
  chmod((elsewhere / "secret").c_str(), 0600);
  // A link another user planted, in a folder of theirs.
  auto foreignLink = [&](const TempDir& d, const std::string& target, const std::string& name) {
    ASSERT_EQ(symlink(target.c_str(), (d / name).c_str()), 0);
    ASSERT_EQ(lchown((d / name).c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown(d.path().c_str(), 65534, 65534), 0);
    chmod(d.path().c_str(), 0775);
  };
  const std::string foreign = "it is a symbolic link owned by another user";
  const Case cases[] = {
      {"a name is a directory", [](const TempDir& d) { mkdir((d / "rfc1918.nam").c_str(), 0755); },
       {{"rfc1918.nam", "Is a directory"}}},
      {"a name links to /dev/full", [](const TempDir& d) { symlink("/dev/full", (d / "r10.rev").c_str()); },
       {{"r10.rev", "No space left on device"}}},
      {"a name links into a missing folder",
       [](const TempDir& d) { symlink("missing/folder/r17220.rev", (d / "r17220.rev").c_str()); },
       {{"r17220.rev", "No such file or directory"}}},
      {"an existing file is longer",
       [](const TempDir& d) { WriteFile(d / "r192168.rev", std::string(9 << 20, 'x')); }, {}},
      {"BOOT.INC and the detailed zone link to /dev/full",
       [](const TempDir& d) {
         symlink("/dev/full", (d / "BOOT.INC").c_str());
         symlink("/dev/full", (d / "r192168.rev").c_str());
       },
       {{"BOOT.INC", "No space left on device"}, {"r192168.rev", "No space left on device"}}},
      {"the forward zone links to a reverse zone",
       [](const TempDir& d) {
         WriteFile(d / "r192168.rev", "kept\n");
         symlink("r192168.rev", (d / "rfc1918.nam").c_str());
       },
       {Same("rfc1918.nam", "r192168.rev"), Same("r192168.rev", "rfc1918.nam")}},
      {"a chain of links from one name to another, its end not made yet",
       [](const TempDir& d) {
         symlink("r17216.rev", (d / "r10.rev").c_str());
         symlink("x", (d / "r17216.rev").c_str());
       },
       {Same("r17216.rev", "r10.rev"), Same("r10.rev", "r17216.rev")}},
      {"a dangling chain through a subfolder, and a name linked to its end",
       [](const TempDir& d) {
         mkdir((d / "sub").c_str(), 0755);
         symlink("../y", (d / "sub/link").c_str());
         symlink("sub/link", (d / "r17219.rev").c_str());
         symlink("y", (d / "r17221.rev").c_str());
       },
       {Same("r17219.rev", "r17221.rev"), Same("r17221.rev", "r17219.rev")}},
      {"the forward zone links to a reverse zone not made yet",
       [](const TempDir& d) { symlink("r192168.rev", (d / "rfc1918.nam").c_str()); },
       {Same("rfc1918.nam", "r192168.rev"), Same("r192168.rev", "rfc1918.nam")}},
      {"BOOT.INC and a reverse zone are one file",
       [](const TempDir& d) {
         WriteFile(d / "BOOT.INC", "kept\n");
         link((d / "BOOT.INC").c_str(), (d / "r10.rev").c_str());
       },
       {Same("BOOT.INC", "r10.rev"), Same("r10.rev", "BOOT.INC")}},
      {"another user's link to a secret", [&](const TempDir& d) { foreignLink(d, elsewhere / "secret", "r17231.rev"); },
       {{"r17231.rev", foreign}}, true},
      {"another user's dangling link", [&](const TempDir& d) { foreignLink(d, elsewhere / "nowhere", "r17230.rev"); },
       {{"r17230.rev", foreign}}, true},
      {"this user's own link to a file elsewhere",
       [&](const TempDir& d) { symlink((elsewhere / "mine").c_str(), (d / "r17229.rev").c_str()); }, {}},
  };
  std::string skipped;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsRoot && geteuid() != 0) {
      if (!SkipMissing()) ADD_FAILURE() << "needs root to give a link to another user (ZONQUIST_SKIP_MISSING=1 skips it)";
      skipped += (skipped.empty() ? "" : ", ") + c.what;
      continue;
    }
    TempDir dir;
    c.prepare(dir);
    std::map<std::string, std::string> before;
    for (const auto& [name, reason] : c.failed) before[name] = Snapshot(dir / name);
    ExpectReported(dir, RunZonquistIn(dir.path(), kArgs), c.failed, before);
    EXPECT_FALSE(Exists(dir / "x") || Exists(dir / "y")) << "a link's end was made";
  }
  EXPECT_EQ(ReadFile(elsewhere / "secret"), "secret\n");
  EXPECT_FALSE(Exists(elsewhere / "nowhere"));
  if (!skipped.empty()) GTEST_SKIP() << "giving a link to another user needs root; not run: " << skipped;
}

// A pipe cannot be rewritten: it gets the real bytes at once.
TEST(Faults, FifoWithReaderGetsEveryLine) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "r192168.rev").c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = ReadFile(dir / "r192168.rev"); });
  RunResult r = RunZonquistIn(dir.path(), kArgs);
  reader.join();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(received == ReadFile(NormalRun() + "/r192168.rev"));
  for (const std::string& name : OutputNames()) {
    if (name != "r192168.rev") {
      EXPECT_TRUE(SameBytes(dir / name, NormalRun() + "/" + name)) << name;
    }
  }
}

TEST(Faults, ConsoleThatGoesAwayCostsNoFile) {
  const StandardOutput outputs[] = {StandardOutput::Closed, StandardOutput::BothClosed, StandardOutput::FirstLineOnly};
  for (StandardOutput output : outputs) {
    TempDir dir;
    RunOptions options;
    options.output = output;
    RunResult r = RunZonquistIn(dir.path(), kArgs, options);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    if (output == StandardOutput::FirstLineOnly) {
      EXPECT_EQ(r.out, "Talvenor Zonquist 20070118" + BuildLineEnd());
    }
    for (const std::string& name : OutputNames()) EXPECT_TRUE(SameBytes(dir / name, NormalRun() + "/" + name)) << name;
  }
}

TEST(Faults, UnprivilegedUserCannotWrite) {
  ZONQUIST_NEEDS(geteuid() == 0, "needs root to run the tool as another user");
  ZONQUIST_NEEDS(access("/usr/bin/setpriv", X_OK) == 0, "setpriv is missing: install util-linux");
  // A copy of the binary that the other user can surely reach.
  TempDir bin;
  chmod(bin.path().c_str(), 0755);
  std::filesystem::copy_file(ZonquistBinary(), bin / "zonquist");
  chmod((bin / "zonquist").c_str(), 0755);
  RunOptions nobody;
  nobody.prefixOnly = true;
  nobody.prefix = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--", bin / "zonquist"};

  // A folder it cannot read cannot be locked: no run writes there.
  TempDir writeOnly;
  chmod(writeOnly.path().c_str(), 0333);
  RunResult r = RunZonquistIn(writeOnly.path(), kArgs, nobody);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, JoinLines({"Error: could not lock this folder: Permission denied"}));
  EXPECT_TRUE(ListDirectory(writeOnly.path()).empty());

  TempDir readOnlyFolder;
  chmod(readOnlyFolder.path().c_str(), 0555);
  ExpectReported(readOnlyFolder, RunZonquistIn(readOnlyFolder.path(), kArgs, nobody), OutputNames(), "Permission denied");
  EXPECT_TRUE(ListDirectory(readOnlyFolder.path()).empty());

  TempDir folder;
  chmod(folder.path().c_str(), 0777);
  WriteFile(folder / "BOOT.INC", "kept\n");
  chmod((folder / "BOOT.INC").c_str(), 0444);
  ExpectReported(folder, RunZonquistIn(folder.path(), kArgs, nobody), {"BOOT.INC"}, "Permission denied");
  EXPECT_EQ(ReadFile(folder / "BOOT.INC"), "kept\n");
}

// A reader that never reads holds the run inside a class B zone until the
// interrupt comes. A signal that whoever started the run ignores (nohup)
// stays ignored.
TEST(Faults, InterruptEndsTheRunAtOnce) {
  for (int ignored : {0, SIGHUP, -1}) {
    SCOPED_TRACE(ignored > 0 ? "SIGHUP ignored by the parent" : ignored ? "the forward zone failed first" : "nothing ignored");
    TempDir dir;
    // A file that has failed is named once, not again when interrupted.
    if (ignored < 0) symlink("/dev/full", (dir / "rfc1918.nam").c_str());
    StalledRun run(dir.path(), "lan.internal.", std::max(ignored, 0));
    if (ignored > 0) {
      EXPECT_TRUE(run.Survives(SIGHUP));
    }
    auto sent = Clock::now();
    int wstatus = run.Stop(ignored > 0 ? SIGTERM : SIGINT);
    double seconds = std::chrono::duration<double>(Clock::now() - sent).count();
    EXPECT_TRUE(WIFSIGNALED(wstatus) || (WIFEXITED(wstatus) && WEXITSTATUS(wstatus) != 0));
    EXPECT_LT(seconds, 5.0);
    std::string out = run.Console();
    EXPECT_NE(out.find("Creating r17220.rev"), std::string::npos);
    EXPECT_EQ(out.find("Done."), std::string::npos);
    EXPECT_EQ(run.Errors(), ignored < 0 ? "Error: could not write rfc1918.nam: No space left on device\n"
                                          "Error: could not write r17220.rev: interrupted\n"
                                        : "Error: could not write rfc1918.nam: interrupted\n"
                                          "Error: could not write r17220.rev: interrupted\n");
  }
}

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
      ExpectStates(dir.path(), complete, older, r, tally);
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
  const std::string& complete = NormalRun();
  const long long kib[] = {4, 8, 12, 16, 64, 256, 1024, 2048, 2300, 2600, 3072, 4096, 5120, 6144, 6400, 6600, 8192};
  for (long long size : kib) {
    SCOPED_TRACE("a tmpfs of " + std::to_string(size) + " KiB");
    TempDir dir;
    std::string options = "size=" + std::to_string(size) + "k";
    ASSERT_EQ(mount("zonquist-test", dir.path().c_str(), "tmpfs", 0, options.c_str()), 0) << std::strerror(errno);
    RunResult r = RunZonquistIn(dir.path(), kArgs);
    ExpectStates(dir.path(), complete, "", r, tally);
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

// Every signal that ends a process, at many moments: the files being
// written are emptied and named, the run dies of the signal, and it never
// says "Done.". SIGKILL, every other row, cannot be caught: the file being
// written keeps its guard. One handler takes them all, so each caught
// signal has one row: the first eight in a /B run, the rest in a full one.
TEST(WholeOrEmpty, InterruptionSweep) {
  const int caught[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM,  SIGVTALRM,
                        SIGPROF, SIGXCPU, SIGTRAP, SIGSYS,  SIGPOLL, SIGPWR,  SIGSTKFLT};
  const int kCaught = static_cast<int>(std::size(caught));
  Tally tally;
  int killed = 0, caughtRows = 0;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"/B", "lan.internal."}, std::vector<std::string>{"lan.internal."}}) {
    const int firstSignal = args.size() == 1 ? 8 : 0, moments = args.size() == 1 ? kCaught - 8 : 8;
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
    auto row = [&](int i, Tally& rowTally, int& ended) {
      RunOptions options;
      options.signal = i % 2 == 0 ? SIGKILL : caught[firstSignal + i / 2];
      options.signalAfter = seconds * (i / 2) / (moments - 1.0);
      SCOPED_TRACE(args[0] + " ended by signal " + std::to_string(options.signal) + " after " +
                   std::to_string(options.signalAfter) + " s");
      TempDir dir;
      CopyFiles(older, dir.path());
      RunResult r = RunZonquistIn(dir.path(), args, options);
      const bool kill9 = options.signal == SIGKILL;
      ExpectStates(dir.path(), complete, older, r, rowTally, kill9);
      if (r.status > 128) {
        EXPECT_EQ(r.status, 128 + options.signal);
        // Only SIGKILL ends a run that has said "Done."; it had finished.
        if (r.out.find("Done.") != std::string::npos) {
          EXPECT_TRUE(kill9);
          for (const std::string& name : OutputNames()) EXPECT_TRUE(SameBytes(dir / name, complete + "/" + name)) << name;
        }
        for (const std::string& line : SplitLines(r.err)) EXPECT_NE(line.find(": interrupted"), std::string::npos);
        ended = kill9 ? 1 : 2;
      } else {
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
      }
    };
    // The two rows of one moment, SIGKILL and a caught signal, side by side.
    for (int i = 0; i < 2 * moments; i += 2) {
      Tally tallies[2];
      int ended[2] = {0, 0};
      std::thread other(row, i + 1, std::ref(tallies[1]), std::ref(ended[1]));
      row(i, tallies[0], ended[0]);
      other.join();
      for (int k = 0; k < 2; ++k) {
        tally += tallies[k];
        killed += ended[k] == 1;
        caughtRows += ended[k] == 2;
      }
    }
    unsetenv("ZONQUIST_TEST_TMP");
  }
  // Fifteen caught rows and fifteen killed: enough of them land mid-run,
  // however loaded the machine is, to show both ends.
  EXPECT_GE(tally.emptied, 8);
  EXPECT_GE(tally.guarded, 5);
  std::printf("signals: %d states, %d files emptied, %d guarded; %d runs killed, %d ended by a caught signal\n",
              tally.states, tally.emptied, tally.guarded, killed, caughtRows);
}

// A second run in a folder that a first one is writing writes nothing,
// whatever path it came by.
TEST(WholeOrEmpty, OneRunPerFolder) {
  for (const std::string way : {"the same path", "a symbolic link", "a bind mount"}) {
    SCOPED_TRACE(way);
    TempDir dir, other;
    CopyFiles(RunOnce("/tmp", kOlder), dir.path());
    std::string path = dir.path();
    if (way == "a symbolic link") {
      path = other / "link";
      ASSERT_EQ(symlink(dir.path().c_str(), path.c_str()), 0);
    } else if (way == "a bind mount") {
      ZONQUIST_NEEDS(geteuid() == 0, "a bind mount needs root");
      path = other.path();
      ASSERT_EQ(mount(dir.path().c_str(), path.c_str(), nullptr, MS_BIND, nullptr), 0) << std::strerror(errno);
    }
    StalledRun first(dir.path(), "aaa.example.");
    std::map<std::string, std::string> before;
    for (const std::string& name : OutputNames())
      if (name != "r17220.rev") before[name] = ReadFile(dir / name);
    RunResult second = RunZonquistIn(path, {"/C", "bbb.example."});
    for (const auto& [name, bytes] : before) EXPECT_TRUE(ReadFile(dir / name) == bytes) << name;
    first.Stop(SIGTERM);
    if (way == "a bind mount") umount(path.c_str());
    EXPECT_EQ(second.status, 2);
    EXPECT_EQ(second.out, JoinLines({"Talvenor Zonquist 20070118", " + Including class C block detail only",
                                      NotDoneLine(OutputNames().size())}));
    EXPECT_EQ(second.err, JoinLines({"Error: another run is writing in this folder"}));
  }
}

// A file held with any kind of lock is left as it is, the rest written.
TEST(WholeOrEmpty, LocksOfEveryKind) {
  for (LockKind kind : {LockKind::Flock, LockKind::Fcntl, LockKind::Lockf, LockKind::Ofd}) {
    SCOPED_TRACE(static_cast<int>(kind));
    TempDir dir;
    WriteFile(dir / "rfc1918.nam", "held\n");
    RunResult r;
    {
      LockHolder holder(dir / "rfc1918.nam", kind);
      r = RunZonquistIn(dir.path(), kArgs);
    }
    ExpectReported(dir, r, {"rfc1918.nam"}, "another program holds it locked");
    EXPECT_EQ(ReadFile(dir / "rfc1918.nam"), "held\n");
  }
}

// Console lines never land inside a zone file: one that is the standard
// output or error is left to the console lines and reported.
TEST(WholeOrEmpty, StandardOutputIsNeverAnOutputFile) {
  for (const auto& [name, stream] : {std::pair<std::string, std::string>{"BOOT.INC", "output"},
                                     {"r10.rev", "output"}, {"r10.rev", "error"}}) {
    SCOPED_TRACE(name + " is the standard " + stream);
    TempDir dir;
    RunOptions options;
    const std::string error = "Error: could not write " + name + ": it is the standard " + stream;
    std::string console = JoinLines(RunTranscript("C", 1));
    if (stream == "output") {
      options.output = StandardOutput::IntoFile;
      options.outputFile = dir / name;
    } else {
      options.errorFile = dir / name;
    }
    RunResult r = RunZonquistIn(dir.path(), kArgs, options);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(stream == "output" ? r.err : r.out, stream == "output" ? JoinLines({error}) : console);
    EXPECT_EQ(ReadFile(dir / name), stream == "output" ? console : JoinLines({error}));
    for (const std::string& other : OutputNames()) {
      if (other != name) {
        EXPECT_TRUE(SameBytes(dir / other, NormalRun() + "/" + other)) << other;
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
  const std::string& older = RunOnce("/tmp", kOlder);
  int refused = 0;
  Tally tally;
  for (long long kib = 2048; kib <= 12288; kib += 256) {
    SCOPED_TRACE("address space " + std::to_string(kib) + " KiB");
    TempDir dir;
    CopyFiles(older, dir.path());
    RunOptions options;
    options.addressSpaceLimit = kib * 1024;
    RunResult r = RunZonquistIn(dir.path(), kArgs, options);
    if (r.status == 127 || r.status == 128 + SIGSEGV) continue;  // too little to start at all
    // Too little for the C++ runtime's own reserve, taken at the start, from
    // which it throws when memory has run out: it aborts, like a crash.
    if (r.status == 128 + SIGABRT && r.err.rfind("terminate called without an active exception", 0) == 0) {
      r.err.clear();
      ExpectStates(dir.path(), NormalRun(), older, r, tally, true);
      continue;
    }
    EXPECT_TRUE(r.status == 0 || r.status == 2) << r.status << r.err;
    ExpectStates(dir.path(), NormalRun(), older, r, tally);
    if (r.status != 2) continue;
    ++refused;
    for (const std::string& line : SplitLines(r.err)) EXPECT_NE(line.find("Cannot allocate memory"), std::string::npos);
  }
  EXPECT_GT(refused, 0) << "no limit was tight enough to refuse a buffer";
}

// Each allocation of a run fails in turn: whatever the point, no file is
// kept cut short, and every file changed and not completed is named.
TEST(WholeOrEmpty, EveryAllocationFailing) {
  if (Sanitized()) GTEST_SKIP() << "the sanitizers replace operator new themselves";
  const std::string& older = RunOnce("/tmp", kOlder);
  Tally tally;
  int n = 1;
  for (; n < 5000; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " fails");
    // That one alone, then memory gone for good from there on: what is
    // said then takes none.
    bool past = false;
    for (const char* mode : {"ZONQUIST_FAIL_NEW_AT=", "ZONQUIST_FAIL_NEW_FROM="}) {
      TempDir dir;
      CopyFiles(older, dir.path());
      RunOptions options;
      options.env = {"LD_PRELOAD=" ZONQUIST_FAIL_NEW, mode + std::to_string(n)};
      RunResult r = RunZonquistIn(dir.path(), kArgs, options);
      ExpectStates(dir.path(), NormalRun(), older, r, tally);
      if ((past = r.status == 0 && r.err.empty())) break;  // past the run's last allocation
      EXPECT_EQ(r.status, 2) << r.err;
      EXPECT_NE(r.out.find("Not done: "), std::string::npos) << r.out;
    }
    if (past || ::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(n, 20) << "the preloaded allocator did not take over";
  std::printf("allocation failures: %d points, %d files emptied\n", n - 1, tally.emptied);
}

// The guard, then its sync, then every data write, the sync, the real
// first line at offset 0, the sync again, and only then the close; after
// the last file the folder is synced, and only then is "Done." said.
// Each call of a file's way to the disk failing in turn, by strace's
// injection on that file alone: the file named and empty (complete when
// only its close failed), every other file whole; then the folder's sync
// and the console's first write.
TEST(WholeOrEmpty, EachSystemCallFailing) {
  ZONQUIST_NEEDS(access("/usr/bin/strace", X_OK) == 0, "strace is missing: install strace");
  const std::string eio = "Input/output error";
  auto under = [](std::vector<std::string> calls) {
    RunOptions options;
    options.prefix = {"/usr/bin/strace", "-o", "/dev/null"};
    options.prefix.insert(options.prefix.end(), calls.begin(), calls.end());
    options.nativeBuild = true;
    options.env = {"ASAN_OPTIONS=detect_leaks=0"};
    return options;
  };
  for (const std::string file : {"BOOT.INC", "rfc1918.nam", "r192168.rev", "r10.rev"}) {
    for (const std::string call : {"ftruncate", "write", "fdatasync", "pwrite64", "close"}) {
      SCOPED_TRACE(call + " of " + file);
      TempDir dir;
      RunResult r = RunZonquistIn(dir.path(), kArgs, under({"-P", dir / file, "-e", "trace=" + call, "-e", "inject=" + call + ":error=EIO:when=1"}));
      ExpectReported(dir, r, {{file, eio}});
      if (call == "close") EXPECT_TRUE(SameBytes(dir / file, NormalRun() + "/" + file));
      else EXPECT_EQ(SizeOf(dir / file), 0);
    }
    // Its guard synced, then failing, then not even emptied: guarded, and said.
    SCOPED_TRACE("a file that cannot be emptied: " + file);
    TempDir dir;
    RunResult r = RunZonquistIn(dir.path(), kArgs, under({"-P", dir / file, "-e", "trace=fdatasync,ftruncate", "-e",
                                                           "inject=fdatasync:error=EIO:when=1", "-e", "inject=ftruncate:error=EIO:when=2"}));
    EXPECT_EQ(r.err, ErrorLine(file, eio) + JoinLines({"Error: could not empty " + file + ": " + eio + "; it is left guarded"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(ReadFile(dir / file), JoinLines({"INCOMPLETE-ZONQUIST-20070118-IS-WRITING"}));
  }
  struct {
    std::string what;
    std::vector<std::string> calls;
    std::string lastLine, err;
  } runs[] = {
      {"the folder's sync", {"-e", "trace=fsync", "-e", "inject=fsync:error=EIO"},
       "Not done: this folder could not be synced.", "Error: could not sync this folder: " + eio},
      {"the console's first write", {"-e", "trace=write", "-e", "inject=write:error=EIO:when=1"}, "Done.",
       "Error: could not write the console output: " + eio},
      {"a signal at the hold before Done.", {}, "Done.", ""},
  };
  // The hold is the run's last block of signals.
  {
    TempDir dir, trace;
    RunOptions traced = under({"-o", trace / "calls", "-e", "trace=rt_sigprocmask"});
    ASSERT_EQ(RunZonquistIn(dir.path(), kArgs, traced).status, 0);
    int calls = 0, hold = 0;
    std::ifstream in(trace / "calls");
    for (std::string line; std::getline(in, line);)
      if (line.rfind("rt_sigprocmask(", 0) == 0 && ++calls && line.find("SIG_BLOCK") != std::string::npos) hold = calls;
    runs[std::size(runs) - 1].calls = {"-e", "trace=rt_sigprocmask", "-e",
                                       "inject=rt_sigprocmask:signal=SIGTERM:when=" + std::to_string(hold)};
  }
  for (const auto& run : runs) {
    SCOPED_TRACE(run.what);
    TempDir dir;
    RunResult r = RunZonquistIn(dir.path(), kArgs, under(run.calls));
    EXPECT_EQ(SplitLines(r.out).back(), run.lastLine);
    EXPECT_EQ(r.err, run.err.empty() ? "" : JoinLines({run.err}));
    EXPECT_EQ(r.status, run.err.empty() ? 0 : 2);
    for (const std::string& name : OutputNames()) EXPECT_TRUE(SameBytes(dir / name, NormalRun() + "/" + name)) << name;
  }
}

TEST(WholeOrEmpty, CommitOrderOfSystemCalls) {
  ZONQUIST_NEEDS(access("/usr/bin/strace", X_OK) == 0, "strace is missing: install strace");
  TempDir dir, trace;
  RunOptions options;
  options.prefix = {"/usr/bin/strace", "-o", trace / "calls", "-e",
                    "trace=openat,write,pwrite64,fdatasync,fsync,close", "-e", "signal=none"};
  options.nativeBuild = true;
  options.env = {"ASAN_OPTIONS=detect_leaks=0"};  // the leak check cannot run under a tracer
  ASSERT_EQ(RunZonquistIn(dir.path(), kArgs, options).status, 0);
  std::map<std::string, std::string> steps;  // file name -> letters of its calls
  std::map<int, std::string> open;
  std::string run;  // c: a file closed, F: the folder synced, D: "Done." said
  int folder = -1;
  std::ifstream calls(trace / "calls");
  const std::regex opened(R"re(^openat\(AT_FDCWD, "([^"]+)", (O_WRONLY|O_RDONLY\|O_CLOEXEC\|O_DIRECTORY).*\)\s+=\s+(\d+))re");
  const std::regex call(R"re(^(write|pwrite64|fdatasync|fsync|close)\((\d+)(, ("[^"]*")?.*)?\)\s+=\s+(-?\d+))re");
  std::smatch m;
  for (std::string line; std::getline(calls, line);) {
    if (std::regex_search(line, m, opened)) {
      if (m[1] == ".") folder = std::stoi(m[3]);
      else open[std::stoi(m[3])] = m[1];
    } else if (std::regex_search(line, m, call)) {
      const int fd = std::stoi(m[2]);
      std::string what = m[1];
      std::string data = m[4];
      if (what == "fsync" && fd == folder) run += "F";
      if (what == "write" && fd == 1 && data.rfind("\"Done.", 0) == 0) run += "D";
      if (!open.count(fd)) continue;
      std::string& s = steps[open[fd]];
      if (what == "write") s += s.empty() ? (data.rfind("\"INCOMPLETE-ZONQUIST", 0) == 0 ? "G" : "?") : "w";
      if (what == "fdatasync") s += "s";
      if (what == "pwrite64") s += line.find(", 0) ") != std::string::npos ? "P" : "?";
      if (what == "close") s += "c", run += "c", open.erase(fd);
    }
  }
  ASSERT_EQ(steps.size(), OutputNames().size());
  const std::regex order("^Gsw*sPsc$");
  for (const auto& [name, s] : steps) EXPECT_TRUE(std::regex_match(s, order)) << name << ": " << s;
  EXPECT_EQ(run, std::string(OutputNames().size(), 'c') + "FD");
}

}  // namespace
