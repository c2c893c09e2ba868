// The lines of a file from outside, however its platform ends them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

// The line that begins at `at`, which then moves past its end: LF, CR LF or
// a lone CR. `ended` says whether a line end followed it (a line without
// one may be a daemon's, still being written).
inline std::string_view NextLine(std::string_view text, std::size_t& at, bool* ended = nullptr) {
  const std::size_t end = std::min(text.find_first_of("\r\n", at), text.size());
  const std::string_view line = text.substr(at, end - at);
  if (ended != nullptr) *ended = end < text.size();
  at = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
  return line;
}
