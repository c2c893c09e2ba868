// Runs that write the whole 10/8 block: about 2 GB each.
#include <sys/statvfs.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "test_support.h"
#include "zone_expectations.h"

namespace {

constexpr unsigned long long kNeededBytes = 5ull << 30;

unsigned long long FreeBytes(const std::string& path) {
  struct statvfs fs {};
  if (statvfs(path.c_str(), &fs) != 0) return 0;
  return static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize;
}

TEST(FullRun, WholeBlocksOnDisk) {
  struct Case {
    std::vector<std::string> args;
    std::string classes;
  } cases[] = {
      {{"lan.internal."}, "ABC"},
      {{"/A", "lan.internal."}, "A"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (FreeBytes(dir.path()) < kNeededBytes)
      GTEST_SKIP() << "less than 5 GB free in " << dir.path() << ": full runs skipped";
    RunResult r = RunZonquistIn(dir.path(), c.args);
    EXPECT_EQ(r.out, JoinLines(RunTranscript(c.classes)));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    ExpectRunFiles(dir.path(), c.classes);
  }
}

}  // namespace
