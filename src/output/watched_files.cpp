#include "output/watched_files.h"

#include <algorithm>
#include <cstring>

WatchedFile WatchedFiles[MaxOpenFiles];

void Watch(platform::FileHandle handle, std::string_view line) {
  platform::InterruptionsHeld held;
  for (WatchedFile& w : WatchedFiles) {
    if (w.handle != -1) continue;
    w.length = std::min(line.size(), sizeof w.line);
    std::memcpy(w.line, line.data(), w.length);
    w.isDisk = handle.isDisk;
    w.handle = handle.value;
    return;
  }
}

void Unwatch(platform::FileHandle handle) {
  platform::InterruptionsHeld held;
  for (WatchedFile& w : WatchedFiles)
    if (w.handle == handle.value) w.handle = -1;
}
