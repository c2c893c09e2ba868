// Temporary folders, file contents and runs of the built binary.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zones/address.h"

// Whether the contributor asked to skip what cannot run here.
bool SkipMissing();
// A test that cannot run here fails, naming what it needs, unless
// ZONQUIST_SKIP_MISSING=1 asks to skip it.
#define ZONQUIST_NEEDS(condition, what)                                       \
  do {                                                                        \
    if (condition) break;                                                     \
    if (SkipMissing()) GTEST_SKIP() << what;                                  \
    FAIL() << what << " (ZONQUIST_SKIP_MISSING=1 skips this test)";          \
  } while (false)

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Makes the process work in a folder for one scope.
class InDirectory {
 public:
  explicit InDirectory(const std::string& path);
  ~InDirectory();

 private:
  std::string previous_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
std::vector<std::string> ListDirectory(const std::string& path);  // sorted

// The line end of the binary under test: CR LF for the Windows build, LF
// for the POSIX one.
std::string BuildLineEnd();
// In-process expectations: every "\n" of the text as this build ends lines.
std::string Native(std::string text);

// Lines split at the build's line end; fails the test on any other.
std::vector<std::string> SplitLines(const std::string& bytes);
std::string JoinLines(const std::vector<std::string>& lines);

// Another process holding an exclusive lock on a file until the end of
// the scope.
enum class LockKind { Flock, Fcntl, Lockf, Ofd };
class LockHolder {
 public:
  explicit LockHolder(const std::string& path, LockKind kind = LockKind::Flock);
  ~LockHolder();
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

 private:
  int pid_;
};

// A /B run held inside r17220.rev, a FIFO whose reader never reads, until
// the scope ends; its console goes to a file; `ignored`, when set, is a
// signal its parent ignores (as nohup does); its standard error goes to a
// file too. Stop() kills it with a signal
// and gives its wait status; Survives() tells whether a signal left it
// running.
class StalledRun {
 public:
  StalledRun(const std::string& dir, const std::string& domain, int ignored = 0);
  bool Survives(int signal);
  ~StalledRun();
  StalledRun(const StalledRun&) = delete;
  StalledRun& operator=(const StalledRun&) = delete;
  int Stop(int signal);
  std::string Console() const;
  std::string Errors() const;

 private:
  TempDir capture_;
  int stalled_ = -1;
  int pid_ = -1;
};

struct RunResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or 128 + signal
};

enum class StandardOutput {
  Captured,
  Closed,          // the descriptor is not open at all
  BothClosed,      // nor is standard error
  FirstLineOnly,   // a pipe whose reader goes away after one line
  IntoFile,        // RunOptions::outputFile, emptied first as a shell does
};

struct RunOptions {
  StandardOutput output = StandardOutput::Captured;
  std::vector<std::string> prefix;  // a command to run it under, e.g. setpriv
  bool nativeBuild = false;         // the Linux build, whatever the variables say
  bool prefixOnly = false;          // run the prefix and the arguments alone
  std::string outputFile;           // with StandardOutput::IntoFile
  std::string errorFile;            // standard error into this file, when set
  long long fileSizeLimit = -1;     // RLIMIT_FSIZE in bytes, when set
  long long addressSpaceLimit = -1; // RLIMIT_AS in bytes, when set
  std::vector<std::string> env;     // NAME=VALUE, added for the run
  int signal = 0;                   // sent this long after the start, when set
  double signalAfter = 0;           // seconds
  std::string signalOnceMade;       // counted from when this path exists, when set
};

// Runs the binary under test with the given arguments in a folder; the
// ZONQUIST_EXE and ZONQUIST_LAUNCHER variables pick another binary.
RunResult RunZonquistIn(const std::string& dir, const std::vector<std::string>& args,
                        const RunOptions& options = {});
std::string ZonquistBinary();

// One pass over a file of any size: its lines counted, the first few and
// the last kept, and whether every line ends in the build's line end with
// no other CR or LF and no empty line.
struct FileScan {
  std::size_t lines = 0;
  std::uint64_t bytes = 0;
  std::vector<std::string> first;  // up to five
  std::string last;
  bool wellFormed = true;
};
FileScan ScanLines(const std::string& path);

// The reverse zones, written out, in the order a run writes them.
struct ExpectedZone {
  std::string file;
  std::string net;      // "192.168", "172.16", "10"
  std::string reverse;  // "168.192", "16.172", "10"
  char letter;
};
std::vector<ExpectedZone> ExpectedReverseZones();
// The twenty files of a run, in the order it writes them.
std::vector<std::string> OutputNames();
// What a run with these detail classes prints, in order; its last line
// says how many files were not written, when any were not.
std::vector<std::string> RunTranscript(const std::string& detailClasses, std::size_t notWritten = 0);
std::string NotDoneLine(std::size_t notWritten);

// A run's console: the transcript on standard output, but for a refused
// run's last line, its error, alone on standard error; and its status.
void ExpectConsole(const RunResult& r, std::vector<std::string> transcript, int status);
// The banner and the help, as a run prints them.
std::vector<std::string> HelpTranscript();
// An address's octets in order ("a.b.c.d", or "a-b-c-d" with '-') or
// backwards ("d.c.b.a"), spelled out here for the tests' expectations.
std::string OctetsText(Ipv4Value v, char separator, bool backwards = false);
// An address from its dotted text; fails the test on any other text.
Ipv4Value Q(std::string_view dotted);
