// The files from outside, read whole and checked before anything is
// written; they become the run's inputs and write nothing themselves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zones/shared_state.h"

struct OutsideFiles {
  std::vector<std::string> hosts;    // as given, in order
  std::vector<std::string> records;  // likewise
  std::vector<std::string> leases;   // likewise
  std::int64_t now = 0;              // the run's start: which leases are active
};

// Into the inputs; the console lines that say what was taken and left are
// added to `lines`. The error line, or nothing.
std::optional<std::string> ReadOutsideFiles(const OutsideFiles& files, ZoneInputs& inputs,
                                            std::vector<std::string>& lines);

// A path with its "." and ".." parts taken out, as written, links and all.
std::string TidyPath(std::string_view path);
