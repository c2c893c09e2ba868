// Text files written line by line through a fixed buffer per file.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "output/platform.h"

inline constexpr std::size_t OutputBufferSize = std::size_t{1} << 20;

struct OutputFile {
  std::string name;
  platform::FileHandle handle;
  bool open = false;
  bool reported = false;
  // Present while lines are taken; gone when the file is not open or a
  // write has failed, so the rest is dropped and no hole appears.
  std::unique_ptr<char[]> buffer;
  std::size_t used = 0;

  OutputFile() = default;
  OutputFile(OutputFile&&) noexcept;
  OutputFile& operator=(OutputFile&&) noexcept;
  ~OutputFile();
};

// Creates the file or empties it in place; on failure it is not open and
// the failure has been reported.
OutputFile OpenOutputFile(std::string_view name);
void CloseOutputFile(OutputFile& file);

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

// Whether any file of this run could not be created or completely written.
bool OutputFailed();
