// The files open for writing, which an interruption empties and names:
// read by the platform's interruption handler, so changed only with it
// held off, and holding nothing that it would have to allocate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "output/platform.h"

struct WatchedFile {
  std::intptr_t handle = -1;  // -1: a free place
  bool isDisk = false;
  std::size_t length = 0;
  char line[600];  // the interruption's line for it, line end included
};

// At most two files are open at once: the forward zone and one other.
inline constexpr std::size_t MaxOpenFiles = 2;
extern WatchedFile WatchedFiles[MaxOpenFiles];

void Watch(platform::FileHandle handle, std::string_view line);
void Unwatch(platform::FileHandle handle);
