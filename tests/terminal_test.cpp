// The progress title on a real (pseudo) terminal: it goes to the terminal,
// never into standard output.
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

std::string Title(const std::string& text) { return "\x1b]2;" + text + "\a"; }

// In a child: a /C run in dir on a terminal that shows titles, its console
// lines into a file.
[[noreturn]] void ExecRun(const TempDir& dir, const TempDir& capture) {
  dup2(open((capture / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
  if (chdir(dir.path().c_str()) != 0) _exit(126);
  setenv("TERM", "xterm", 1);
  std::string exe = ZonquistBinary();
  execl(exe.c_str(), exe.c_str(), "/C", "lan.internal.", static_cast<char*>(nullptr));
  _exit(127);
}

// Everything the terminal received until its last writer closed it.
std::string ReadAll(int master) {
  std::string terminal;
  char block[4096];
  for (ssize_t n; (n = read(master, block, sizeof block)) > 0;) terminal.append(block, static_cast<std::size_t>(n));
  return terminal;
}

TEST(Terminal, TitleShowsProgressOnTheTerminalOnly) {
  TempDir dir, capture;
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) ExecRun(dir, capture);
  std::string terminal = ReadAll(master);
  int status = 0;
  waitpid(pid, &status, 0);
  close(master);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  // The start-up title, then the first address of the detailed block: the
  // first progress update always shows.
  std::string first = Title("Talvenor Zonquist ") + Title("Talvenor Zonquist 192.168.0.0");
  EXPECT_EQ(terminal.substr(0, first.size()), first);
  // Only titles reach the terminal, each a known address.
  std::size_t titles = 0;
  for (std::size_t at = 0; at < terminal.size(); ++titles) {
    ASSERT_EQ(terminal.compare(at, 4, "\x1b]2;"), 0) << terminal.substr(at, 40);
    std::size_t end = terminal.find('\a', at);
    ASSERT_NE(end, std::string::npos);
    std::string text = terminal.substr(at + 4, end - at - 4);
    EXPECT_EQ(text.rfind("Talvenor Zonquist ", 0), 0u) << text;
    at = end + 1;
  }
  EXPECT_GE(titles, 2u);
  std::string out = ReadFile(capture / "out");
  EXPECT_EQ(out.find('\x1b'), std::string::npos);
  EXPECT_EQ(out, JoinLines(RunTranscript("C")));
}

// A background job on a terminal that stops background writers (stty
// tostop) still runs to the end: the title waits for the foreground.
TEST(Terminal, BackgroundRunIsNeverStoppedByItsTitle) {
  TempDir dir, capture;
  int master = -1;
  pid_t shell = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(shell, 0);
  if (shell == 0) {
    termios mode{};
    tcgetattr(0, &mode);
    mode.c_lflag |= TOSTOP;
    tcsetattr(0, TCSANOW, &mode);
    pid_t job = fork();
    if (job == 0) {
      setpgid(0, 0);  // a process group that is not the terminal's foreground
      ExecRun(dir, capture);
    }
    int status = 0;
    waitpid(job, &status, WUNTRACED);
    if (WIFSTOPPED(status)) {
      kill(job, SIGKILL);
      _exit(3);
    }
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 4);
  }
  std::string terminal = ReadAll(master);
  int status = 0;
  waitpid(shell, &status, 0);
  close(master);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "3: stopped by the terminal";
  EXPECT_EQ(terminal, "");
  EXPECT_EQ(ReadFile(capture / "out"), JoinLines(RunTranscript("C")));
}

}  // namespace
