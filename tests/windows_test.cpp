// The Windows build under Wine: raw command lines, a file held open by
// another Windows process, and the same bytes as the Linux build.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <thread>
#include <string>

#include <gtest/gtest.h>

#include "cli/command_line.h"
#include "test_support.h"
#include "zone_expectations.h"

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

class WindowsBuild : public testing::Test {
 protected:
  void SetUp() override {
    ZONQUIST_NEEDS(!Env("ZONQUIST_EXE").empty() && !Env("ZONQUIST_LAUNCHER").empty() &&
                       !Env("ZONQUIST_WINDOWS_HELPERS").empty(),
                   "no Windows build to test: install g++-mingw-w64-x86-64 and wine64 and run ./test.sh");
  }
  static std::string Helper(const std::string& name) { return Env("ZONQUIST_WINDOWS_HELPERS") + "/" + name; }
  // Wine sees the Linux file system as drive Z:.
  static std::string WindowsPath(std::string path) {
    for (char& c : path) c = c == '/' ? '\\' : c;
    return "Z:" + path;
  }
};

TEST_F(WindowsBuild, RawCommandLines) {
  const std::string exe = WindowsPath(Env("ZONQUIST_EXE"));
  const std::string notFqdn = "\" is not a fully qualified Internet domain name!";
  const std::vector<std::string> help = HelpTranscript();
  TempDir inputs;
  WriteFile(inputs / "my hosts", "127.0.0.1 localhost\r\n");
  std::vector<std::string> skipping = RunTranscript("C");
  skipping.insert(skipping.begin() + 2, " + Skipped 1 hosts entries (loopback): line 1");
  struct Case {
    std::string commandLine;
    std::vector<std::string> transcript;  // the error last, on standard error
    int status;
    bool files = false;  // a /C run's
  } cases[] = {
      {"\"" + exe + "\" /C lan.internal.", RunTranscript("C"), 0, true},
      {"zonquist.exe   /c    lan.internal.", RunTranscript("C"), 0, true},
      {"\"C:\\Program Files\\Zonquist\\zonquist.exe\"/C lan.internal.", RunTranscript("C"), 0, true},
      {"zonquist", help, 0},
      {"\"" + exe + "\"   ", help, 0},
      {"zonquist lan.internal. ", {"Talvenor Zonquist 20070118", "Error: The domain name \"lan.internal. " + notFqdn}, 1},
      {"zonquist \"lan.internal.\"", {"Talvenor Zonquist 20070118", "Error: The domain name \"\"lan.internal.\"" + notFqdn}, 1},
      {"zonquist\tlan.internal.", {"Talvenor Zonquist 20070118", "Error: The domain name \"?lan.internal." + notFqdn}, 1},
      {"zonquist --version", {"Talvenor Zonquist 20070118"}, 0},
      {"zonquist /C -h", help, 0},
      {"zonquist /q lan.internal.", {"Talvenor Zonquist 20070118", "Error: invalid command line switch."}, 1},
      // A value with a blank, in double quotes.
      {"zonquist /C --hosts \"" + WindowsPath(inputs / "my hosts") + "\" lan.internal.", skipping, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commandLine);
    TempDir dir;
    RunOptions options;
    options.prefixOnly = true;
    options.prefix = {Env("ZONQUIST_LAUNCHER"), Helper("run_command_line.exe"), exe, c.commandLine};
    RunResult r = RunZonquistIn(dir.path(), {}, options);
    ExpectConsole(r, c.transcript, c.status);
    if (c.files) {
      ExpectRunFiles(dir.path(), "C");
    } else {
      EXPECT_TRUE(ListDirectory(dir.path()).empty());
    }
  }
}

// Lines split at one line end; any other CR or LF, or a text that does not
// end in it, fails.
std::vector<std::string> LinesEndingIn(const std::string& bytes, const std::string& eol) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < bytes.size();) {
    std::size_t end = bytes.find(eol, start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "a line does not end in the build's line end";
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    if (lines.back().find_first_of("\r\n") != std::string::npos) ADD_FAILURE() << "stray line end";
    start = end + eol.size();
  }
  return lines;
}

// Each build ends its lines its own way; the lines are the same.
TEST_F(WindowsBuild, SameLinesAsTheLinuxBuild) {
  TempDir inputs;
  WriteFile(inputs / "hosts", "10.1.2.5 build\r\nfd00:1:2:3::5 build\r\nFD12::0001 v6only\r\n2001:db8::7 www\r\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"/C", "lan.internal."}, {"--ipv6", "--hosts", inputs / "hosts", "lan.internal."}}) {
    SCOPED_TRACE(args[0]);
    TempDir linux, windows;
    RunOptions native;
    native.nativeBuild = true;
    RunResult l = RunZonquistIn(linux.path(), args, native);
    RunResult w = RunZonquistIn(windows.path(), args);
    EXPECT_EQ(l.status, 0);
    EXPECT_EQ(w.status, 0);
    EXPECT_EQ(LinesEndingIn(w.out, "\r\n"), LinesEndingIn(l.out, "\n"));  // standard output as a file
    EXPECT_EQ(w.err, "");
    ASSERT_EQ(ListDirectory(windows.path()), ListDirectory(linux.path()));
    for (const std::string& name : ListDirectory(linux.path())) {
      SCOPED_TRACE(name);
      EXPECT_TRUE(LinesEndingIn(ReadFile(windows / name), "\r\n") == LinesEndingIn(ReadFile(linux / name), "\n"));
    }
  }
}

TEST_F(WindowsBuild, FileHeldOpenByAnotherProcessIsUntouched) {
  TempDir dir;
  WriteFile(dir / "rfc1918.nam", "held\r\n");
  // The holder keeps the file until its standard input ends.
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t holder = fork();
  if (holder == 0) {
    dup2(ready[1], 1);
    dup2(release[0], 0);
    dup2(open("/dev/null", O_WRONLY), 2);
    close(ready[0]);
    close(release[1]);
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    std::string launcher = Env("ZONQUIST_LAUNCHER"), helper = Helper("hold_open.exe");
    execl(launcher.c_str(), launcher.c_str(), helper.c_str(), "rfc1918.nam", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(ready[1]);
  close(release[0]);
  std::string said;
  char c;
  while (said.find('\n') == std::string::npos && read(ready[0], &c, 1) == 1) said += c;
  close(ready[0]);
  RunResult r;
  if (said.rfind("held", 0) == 0) r = RunZonquistIn(dir.path(), {"/C", "lan.internal."});
  close(release[1]);
  waitpid(holder, nullptr, 0);
  ASSERT_EQ(said.rfind("held", 0), 0u) << said;
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, JoinLines(RunTranscript("C", 1)));
  EXPECT_EQ(r.err, "Error: could not write rfc1918.nam: another program holds it locked\r\n");
  EXPECT_EQ(ReadFile(dir / "rfc1918.nam"), "held\r\n");
}

// A Ctrl+C reaches the console control handler through Wine: the open
// files are emptied and named, and the run ends as interrupted. A run
// killed outright leaves the files it was writing behind their guard lines.
TEST_F(WindowsBuild, EndedMidRun) {
  struct Case {
    int signal;
    int status;  // STATUS_CONTROL_C_EXIT as Wine passes it on, or death by the signal
  } cases[] = {{SIGINT, 0xC000013A & 0xFF}, {SIGKILL, 128 + SIGKILL}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.signal);
    setenv("ZONQUIST_TEST_TMP", "/dev/shm", 1);
    TempDir dir;
    unsetenv("ZONQUIST_TEST_TMP");
    RunOptions options;
    options.signal = c.signal;
    options.signalOnceMade = dir / "rfc1918.nam";
    options.signalAfter = 1;  // a full run takes several seconds under Wine
    RunResult r = RunZonquistIn(dir.path(), {"lan.internal."}, options);
    // A machine fast enough to end first leaves the run whole, and says so.
    const bool done = r.out.find("Done.") != std::string::npos;
    EXPECT_EQ(r.status, done ? 0 : c.status);
    std::set<std::string> emptied, guarded;
    for (const std::string& name : ListDirectory(dir.path())) {
      std::string start(41, '\0');
      std::ifstream(dir / name, std::ios::binary).read(start.data(), 41);
      struct stat st {};
      stat((dir / name).c_str(), &st);
      if (st.st_size == 0) emptied.insert(name);
      if (start == "INCOMPLETE-ZONQUIST-20070118-IS-WRITING\r\n") guarded.insert(name);
      if (st.st_size == 0 && c.signal == SIGINT) {
        EXPECT_NE(r.err.find("Error: could not write " + name + ": interrupted\r\n"), std::string::npos) << name;
      }
    }
    // The forward zone is open all through the run.
    EXPECT_EQ((c.signal == SIGINT ? emptied : guarded).count("rfc1918.nam"), done ? 0u : 1u) << r.err;
    // Killed outright, at most the file just made may not have its guard yet.
    EXPECT_LE((c.signal == SIGINT ? guarded : emptied).size(), c.signal == SIGINT ? 0u : 1u);
  }
}

// One run per folder whatever path a run came by, and no output through
// another output's name.
TEST_F(WindowsBuild, NothingWhereItDoesNotBelong) {
  setenv("ZONQUIST_TEST_TMP", "/dev/shm", 1);
  TempDir dir, other;
  unsetenv("ZONQUIST_TEST_TMP");
  const std::string link = other / "link";
  ASSERT_EQ(symlink(dir.path().c_str(), link.c_str()), 0);
  RunResult second;
  {
    // The second comes through the link once the first has begun its files;
    // the first is killed only when the second has ended.
    RunOptions first;
    first.signal = SIGKILL;
    first.signalOnceMade = other / "second ended";
    std::thread running([&] { RunZonquistIn(dir.path(), {"lan.internal."}, first); });
    for (int i = 0; i < 6000 && !Exists(dir / "rfc1918.nam"); ++i) usleep(10000);
    second = RunZonquistIn(link, {"/C", "bbb.example."});
    WriteFile(other / "second ended", "");
    running.join();
  }
  EXPECT_EQ(second.status, 2);
  EXPECT_EQ(second.err, "Error: another run is writing in this folder\r\n");

  for (const std::string& name : ListDirectory(dir.path())) unlink((dir / name).c_str());
  WriteFile(dir / "BOOT.INC", "kept\r\n");
  ASSERT_EQ(::link((dir / "BOOT.INC").c_str(), (dir / "r10.rev").c_str()), 0);
  RunResult r = RunZonquistIn(dir.path(), {"/C", "lan.internal."});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Error: could not write BOOT.INC: it is the same file as r10.rev\r\n"
                   "Error: could not write r10.rev: it is the same file as BOOT.INC\r\n");
  EXPECT_EQ(ReadFile(dir / "r10.rev"), "kept\r\n");
}

}  // namespace
