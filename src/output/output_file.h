// Text files written line by line through a fixed buffer per file. A disk
// file reads as refused by every DNS server until it is committed: its
// first line is a guard that only the commit replaces with the real bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "output/platform.h"

inline constexpr std::size_t OutputBufferSize = std::size_t{1} << 20;

// As long as a zone file's first line, so that the commit puts back one
// line for one line; no server reads it as a record.
inline constexpr std::string_view GuardLine = "INCOMPLETE-ZONQUIST-20070118-IS-WRITING";
inline constexpr std::size_t GuardRoom = GuardLine.size() + 2;  // the line and the longest line end

struct OutputFile {
  std::string name;
  platform::FileHandle handle;
  bool open = false;
  bool reported = false;
  // Present while lines are taken; gone when the file is not open or a
  // write has failed, so the rest is dropped and no hole appears.
  std::unique_ptr<char[]> buffer;
  std::size_t used = 0;
  std::uint64_t handedOver = 0;  // bytes given to the system so far
  char head[GuardRoom] = {};     // the real bytes under the guard
  std::string abandonedLine;     // "Error: could not write NAME: ", said without allocating
  std::string unemptiedLine;     // likewise, when it cannot even be emptied
  // A compared file: its lines are checked against what it holds, which
  // is read as they come; nothing is written to it.
  bool comparing = false;
  bool differs = false;
  std::unique_ptr<char[]> held;  // what it holds, a buffer at a time

  OutputFile() = default;
  OutputFile(OutputFile&&) noexcept;
  OutputFile& operator=(OutputFile&&) noexcept;
  // Without a commit the file is emptied and named.
  ~OutputFile();
};

// Before anything is opened, and the start of a run's record of files: of
// the names that reach one file (two links to it, or a chain of links from
// one name to another), none is written, so no name ends up holding
// another's lines. Each is named when its turn comes. Whatever is linked
// later, a name whose open file is one this run has opened is refused too.
void RefuseSharedOutputFiles(const std::vector<std::string_view>& names);

// Creates the file or empties it in place; on failure it is not open and
// the failure has been reported.
OutputFile OpenOutputFile(std::string_view name);
// The commit, the only way a file keeps its lines: everything handed over
// and made durable, then the guard replaced and that made durable too. A
// failure on the way empties and names the file.
void CloseOutputFile(OutputFile& file);

// Opened for reading only, to be given the lines it would be written with;
// it is never written, emptied or cut, however the run ends.
OutputFile OpenComparedFile(std::string_view name);
// Whether it held exactly the lines given, and nothing more.
bool CloseComparedFile(OutputFile& file);
// A file left as it is counts as complete.
void KeepOutputFile();

// The first bytes of a disk file, up to `most`; empty for anything else.
std::string ReadFileStart(std::string_view name, std::size_t most);

// Room for one line of at most maxBytes (its line end included, maxBytes at
// most OutputBufferSize) straight in the buffer, for lines built in place;
// null when the file takes no more lines. CommitLine ends it.
char* ReserveLineSlow(OutputFile& file);
inline char* ReserveLine(OutputFile& file, std::size_t maxBytes) {
  if (file.buffer && OutputBufferSize - file.used >= maxBytes) return file.buffer.get() + file.used;
  return ReserveLineSlow(file);
}
inline void CommitLine(OutputFile& file, const char* end) {
  file.used = static_cast<std::size_t>(end - file.buffer.get());
}

// A line that does not fit in the buffer at all goes to the file directly.
void WriteLongFileLine(OutputFile& file, std::string_view text);

// Text, then the line end.
inline void WriteFileLine(OutputFile& file, std::string_view text) {
  if (text.size() + platform::LineEnd.size() > OutputBufferSize) return WriteLongFileLine(file, text);
  if (char* at = ReserveLine(file, text.size() + platform::LineEnd.size())) {
    if (!text.empty()) std::memcpy(at, text.data(), text.size());
    at += text.size();
    std::memcpy(at, platform::LineEnd.data(), platform::LineEnd.size());
    CommitLine(file, at + platform::LineEnd.size());
  }
}

// After an exception has ended the run: the files its unwinding emptied,
// each named with the reason; allocates nothing. False when there was none.
bool NameAbandonedFiles(std::string_view reason) noexcept;

// Whether any file of this run could not be created or completely written.
bool OutputFailed();
// How many files were committed whole, of how many the run means to
// write (0 until it says).
std::size_t CommittedFiles();
void ExpectOutputFiles(std::size_t count);
std::size_t ExpectedOutputFiles();
