// Runs under faults and hostile conditions: every failed file is named once
// on standard error, every other file is as a normal run leaves it, and the
// console shows what it always shows.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <algorithm>
#include <functional>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

const std::vector<std::string> kArgs = {"/C", "lan.internal."};

// A normal run, made once, to compare against.
struct Reference {
  TempDir dir;
  RunResult run;
};
const Reference& NormalRun() {
  static const std::unique_ptr<Reference> ref = [] {
    auto r = std::make_unique<Reference>();
    r->run = RunZonquistIn(r->dir.path(), kArgs);
    EXPECT_EQ(r->run.status, 0);
    return r;
  }();
  return *ref;
}

// Every file but the failed ones as the normal run left it.
void ExpectOtherFilesWhole(const TempDir& dir, const std::vector<std::string>& failed) {
  const std::string& ref = NormalRun().dir.path();
  for (const std::string& name : ListDirectory(ref)) {
    if (std::find(failed.begin(), failed.end(), name) != failed.end()) continue;
    EXPECT_TRUE(ReadFile(dir / name) == ReadFile(ref + "/" + name)) << name;
  }
}

std::string ErrorLine(const std::string& name, const std::string& reason) {
  return "Error: could not write " + name + ": " + reason + BuildLineEnd();
}

// The console as always, one error line per failed file in run order, and
// every other file whole.
void ExpectReported(const TempDir& dir, const RunResult& r, const std::vector<std::string>& failed,
                    const std::string& reason) {
  EXPECT_EQ(r.out, NormalRun().run.out);
  std::string errors;
  for (const std::string& name : failed) errors += ErrorLine(name, reason);
  EXPECT_EQ(r.err, errors);
  EXPECT_EQ(r.status, failed.empty() ? 0 : 2);
  ExpectOtherFilesWhole(dir, failed);
}

struct Case {
  std::string what;
  std::function<void(const TempDir&)> prepare;
  std::vector<std::string> failed;  // names, in run order
  std::string reason;
};

TEST(Faults, EachFailedFileIsReportedAndTheRestIsWhole) {
  const Case cases[] = {
      {"a name is a directory", [](const TempDir& d) { mkdir((d / "rfc1918.nam").c_str(), 0755); },
       {"rfc1918.nam"}, "Is a directory"},
      {"a name links to /dev/full", [](const TempDir& d) { symlink("/dev/full", (d / "r10.rev").c_str()); },
       {"r10.rev"}, "No space left on device"},
      {"a name links into a missing folder",
       [](const TempDir& d) { symlink("missing/folder/r17220.rev", (d / "r17220.rev").c_str()); },
       {"r17220.rev"}, "No such file or directory"},
      {"an existing file is longer",
       [](const TempDir& d) { WriteFile(d / "r192168.rev", std::string(9 << 20, 'x')); }, {}, ""},
      {"BOOT.INC and the detailed zone link to /dev/full",
       [](const TempDir& d) {
         symlink("/dev/full", (d / "BOOT.INC").c_str());
         symlink("/dev/full", (d / "r192168.rev").c_str());
       },
       {"BOOT.INC", "r192168.rev"}, "No space left on device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    c.prepare(dir);
    ExpectReported(dir, RunZonquistIn(dir.path(), kArgs), c.failed, c.reason);
  }
}

TEST(Faults, FileLockedByAnotherProcessIsUntouched) {
  TempDir dir;
  WriteFile(dir / "rfc1918.nam", "held\n");
  RunResult r;
  {
    LockHolder holder(dir / "rfc1918.nam");
    r = RunZonquistIn(dir.path(), kArgs);
  }
  ExpectReported(dir, r, {"rfc1918.nam"}, "Resource temporarily unavailable");
  EXPECT_EQ(ReadFile(dir / "rfc1918.nam"), "held\n");
}

TEST(Faults, FifoWithReaderGetsEveryLine) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "r192168.rev").c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = ReadFile(dir / "r192168.rev"); });
  RunResult r = RunZonquistIn(dir.path(), kArgs);
  reader.join();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(received == ReadFile(NormalRun().dir / "r192168.rev"));
  ExpectOtherFilesWhole(dir, {"r192168.rev"});
}

TEST(Faults, ConsoleThatGoesAwayCostsNoFile) {
  const StandardOutput outputs[] = {StandardOutput::Closed, StandardOutput::FirstLineOnly};
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
    ExpectOtherFilesWhole(dir, {});
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

  TempDir readOnlyFolder;
  chmod(readOnlyFolder.path().c_str(), 0555);
  std::vector<std::string> all{"BOOT.INC", "rfc1918.nam", "r192168.rev"};
  for (int n = 16; n <= 31; ++n) all.push_back("r172" + std::to_string(n) + ".rev");
  all.push_back("r10.rev");
  ExpectReported(readOnlyFolder, RunZonquistIn(readOnlyFolder.path(), kArgs, nobody), all, "Permission denied");
  EXPECT_TRUE(ListDirectory(readOnlyFolder.path()).empty());

  TempDir folder;
  chmod(folder.path().c_str(), 0777);
  WriteFile(folder / "BOOT.INC", "kept\n");
  chmod((folder / "BOOT.INC").c_str(), 0444);
  ExpectReported(folder, RunZonquistIn(folder.path(), kArgs, nobody), {"BOOT.INC"}, "Permission denied");
  EXPECT_EQ(ReadFile(folder / "BOOT.INC"), "kept\n");
}

// A reader that never reads holds the run inside a class B zone until the
// interrupt comes.
TEST(Faults, InterruptEndsTheRunAtOnce) {
  TempDir dir;
  StalledRun run(dir.path(), "lan.internal.");
  auto sent = std::chrono::steady_clock::now();
  int wstatus = run.Stop(SIGINT);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
  EXPECT_TRUE(WIFSIGNALED(wstatus) || (WIFEXITED(wstatus) && WEXITSTATUS(wstatus) != 0));
  EXPECT_LT(seconds, 5.0);
  std::string out = run.Console();
  EXPECT_NE(out.find("Creating r17220.rev"), std::string::npos);
  EXPECT_EQ(out.find("Done."), std::string::npos);
}

}  // namespace
