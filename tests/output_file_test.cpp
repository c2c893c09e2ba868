#include "output/output_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

std::string WriteLines(const std::string& name, const std::vector<std::string>& lines) {
  testing::internal::CaptureStderr();
  OutputFile file = OpenOutputFile(name);
  for (const std::string& line : lines) WriteFileLine(file, line);
  CloseOutputFile(file);
  return testing::internal::GetCapturedStderr();
}

TEST(OutputFile, LinesEndInTheLineEndAndReplaceLongerContent) {
  TempDir dir;
  std::string path = dir / "zone";
  WriteFile(path, std::string(5000, 'x'));
  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);

  EXPECT_EQ(WriteLines(path, {"", "one", "two\r\nthree"}), "");
  EXPECT_EQ(ReadFile(path), Native("\none\ntwo") + "\r\nthree" + Native("\n"));
  struct stat after {};
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino) << "emptied in place, not made anew";
}

TEST(OutputFile, LinesBeyondOneBufferArriveInOrder) {
  TempDir dir;
  std::string path = dir / "big";
  std::vector<std::string> lines;
  std::string expected;
  for (int i = 0; i < 60000; ++i) {
    lines.push_back(std::to_string(i) + std::string(static_cast<std::size_t>(i % 37), 'q'));
    expected += lines.back() + Native("\n");
  }
  lines.push_back(std::string(OutputBufferSize + 3, 'L'));  // larger than the buffer
  expected += lines.back() + Native("\n");
  lines.push_back("end");
  expected += Native("end\n");
  EXPECT_EQ(WriteLines(path, lines), "");
  EXPECT_EQ(ReadFile(path), expected);
}

TEST(OutputFile, FifoIsNotCutAndGetsEveryLine) {
  TempDir dir;
  std::string path = dir / "fifo";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = ReadFile(path); });
  std::vector<std::string> lines(3000, std::string(500, 'f'));
  EXPECT_EQ(WriteLines(path, lines), "");
  reader.join();
  EXPECT_EQ(received, JoinLines(lines));
}

// Last, as it starts a run's record of files: a name that reaches a file
// of this run through a link made after the run began is refused, and the
// file kept as written.
TEST(OutputFile, ANameReachingAFileOfThisRunIsRefused) {
  TempDir dir;
  InDirectory in(dir.path());
  RefuseSharedOutputFiles({"first", "second"});  // nothing shared yet
  EXPECT_EQ(WriteLines("first", {"kept"}), "");
  ASSERT_EQ(symlink("first", "second"), 0);
  EXPECT_EQ(WriteLines("second", {"lost"}), Native("Error: could not write second: it is the same file as first\n"));
  EXPECT_EQ(ReadFile("first"), Native("kept\n"));
  EXPECT_TRUE(OutputFailed()) << "the run would end as done";
}

}  // namespace
