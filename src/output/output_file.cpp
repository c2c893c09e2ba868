#include "output/output_file.h"

#include <algorithm>
#include <exception>
#include <new>
#include <utility>

#include "output/console.h"
#include "output/errors.h"
#include "output/watched_files.h"

namespace {

bool anyOutputFailed = false;
std::size_t committedFiles = 0;
std::size_t expectedFiles = 0;
// Names not to be opened this run, with the reason each is named for.
std::vector<std::pair<std::string, std::string>> refused;
// What each file this run has opened is, and its name; kept from the
// start of a run on.
bool recording = false;
std::vector<std::string> openedIdentities;
std::vector<std::string> openedNames;

std::string ErrorLine(const std::string& name, const std::string& reason) {
  return "Error: could not write " + name + ": " + reason;
}

// The guard line and its line end: the bytes that the commit puts back.
std::size_t GuardBytes() { return GuardLine.size() + platform::LineEnd.size(); }

void Report(OutputFile& file, platform::ErrorCode code) {
  anyOutputFailed = true;
  if (file.reported) return;
  file.reported = true;
  PrintErrorLine(ErrorLine(file.name, ErrorText(code)));
}

// Only a file on a disk is cut: a device or pipe keeps what it was given.
platform::ErrorCode Empty(platform::FileHandle handle) { return handle.isDisk ? platform::EmptyFile(handle) : 0; }

// A zone cut short would be served with records missing or wrong: a file
// that could not be written in full is left empty, which servers refuse.
// One that cannot even be emptied keeps its guard, which they refuse too.
// It is named once: an interruption after this has nothing more to say.
void Fail(OutputFile& file, platform::ErrorCode code) {
  Report(file, code);
  file.buffer.reset();
  Unwatch(file.handle);
  if (platform::ErrorCode e = Empty(file.handle))
    PrintErrorLine("Error: could not empty " + file.name + ": " + ErrorText(e) + "; it is left guarded");
}

// The first bytes of a disk file go out as the guard; the real ones are
// kept for the commit.
platform::ErrorCode HandOver(OutputFile& file, const char* bytes, std::size_t size) {
  const std::size_t guard = GuardBytes();
  if (file.handle.isDisk && file.handedOver < guard && size > 0) {
    const std::size_t at = static_cast<std::size_t>(file.handedOver);
    const std::size_t n = std::min(size, guard - at);
    char cover[GuardRoom];
    std::memcpy(cover, GuardLine.data(), GuardLine.size());
    std::memcpy(cover + GuardLine.size(), platform::LineEnd.data(), platform::LineEnd.size());
    std::memcpy(file.head + at, bytes, n);
    if (platform::ErrorCode e = platform::WriteAll(file.handle, cover + at, n)) return e;
    file.handedOver += n;
    // The guard on the disk before any data: after a power cut the file
    // begins with it, whatever of the rest was stored.
    if (file.handedOver == guard)
      if (platform::ErrorCode e = platform::SyncFile(file.handle)) return e;
    bytes += n;
    size -= n;
  }
  if (size == 0) return 0;
  if (platform::ErrorCode e = platform::WriteAll(file.handle, bytes, size)) return e;
  file.handedOver += size;
  return 0;
}

// A compared file's next bytes read and set against the lines given; at
// the first difference it takes no more lines.
bool Compare(OutputFile& file, const char* bytes, std::size_t size) {
  while (size > 0 && !file.differs) {
    std::size_t got = 0;
    const std::size_t want = std::min(size, OutputBufferSize);
    for (std::size_t at = 0; at < want && !file.differs; at += got) {
      if (platform::ReadSome(file.handle, file.held.get() + at, want - at, got) != 0 || got == 0) file.differs = true;
    }
    if (!file.differs && std::memcmp(file.held.get(), bytes, want) != 0) file.differs = true;
    bytes += want;
    size -= want;
  }
  if (file.differs) file.buffer.reset();
  return !file.differs;
}

void Flush(OutputFile& file) {
  if (!file.buffer || file.used == 0) return;
  if (file.comparing) {
    Compare(file, file.buffer.get(), file.used);
    file.used = 0;
    return;
  }
  platform::ErrorCode e = HandOver(file, file.buffer.get(), file.used);
  file.used = 0;
  if (e != 0) Fail(file, e);
}

// Files emptied while the stack unwound, their lines still to be ended by
// whoever caught what ended the run: only it knows what that was.
std::string abandoned[MaxOpenFiles];
std::size_t abandonedCount = 0;

// Every way out but the commit: nothing allocated, since it may run while
// memory has run out.
void Abandon(OutputFile& file) {
  if (!file.open) return;
  file.open = false;
  file.buffer.reset();
  if (file.comparing) {
    (void)platform::CloseFile(file.handle);
    return;
  }
  anyOutputFailed = true;
  Unwatch(file.handle);
  const platform::ErrorCode emptied = Empty(file.handle);
  if (!file.reported) {
    file.reported = true;
    if (std::uncaught_exceptions() > 0 && abandonedCount < MaxOpenFiles) {
      abandoned[abandonedCount++].swap(file.abandonedLine);
    } else {
      platform::WriteStandardError(file.abandonedLine);
      platform::WriteStandardError("it was left unfinished");
      platform::WriteStandardError(platform::LineEnd);
    }
  }
  if (emptied != 0) platform::WriteStandardError(file.unemptiedLine);
  (void)platform::CloseFile(file.handle);
}

}  // namespace

OutputFile::OutputFile(OutputFile&& other) noexcept { *this = std::move(other); }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    Abandon(*this);
    name = std::move(other.name);
    handle = other.handle;
    open = std::exchange(other.open, false);
    reported = other.reported;
    buffer = std::move(other.buffer);
    used = std::exchange(other.used, 0);
    handedOver = other.handedOver;
    std::memcpy(head, other.head, sizeof head);
    abandonedLine = std::move(other.abandonedLine);
    unemptiedLine = std::move(other.unemptiedLine);
    comparing = other.comparing;
    differs = other.differs;
    held = std::move(other.held);
  }
  return *this;
}

OutputFile::~OutputFile() { Abandon(*this); }

void RefuseSharedOutputFiles(const std::vector<std::string_view>& names) {
  refused.clear();
  recording = true;
  openedIdentities.clear();
  openedNames.clear();
  std::vector<std::string> identities;
  for (std::string_view name : names) identities.push_back(platform::FileIdentity(std::string(name)));
  for (std::size_t i = 0; i < names.size(); ++i) {
    for (std::size_t j = 0; j < names.size(); ++j) {
      if (i == j || identities[i].empty() || identities[i] != identities[j]) continue;
      refused.emplace_back(names[i], "it is the same file as " + std::string(names[j]));
      break;
    }
  }
}

OutputFile OpenOutputFile(std::string_view name) {
  OutputFile file;
  file.name = name;
  for (const auto& [refusedName, reason] : refused) {
    if (refusedName != name) continue;
    anyOutputFailed = file.reported = true;
    PrintErrorLine(ErrorLine(file.name, reason));
    return file;
  }
  // The buffer first: without it the file is left as it is.
  file.buffer.reset(new (std::nothrow) char[OutputBufferSize]);
  if (!file.buffer) {
    Report(file, platform::OutOfMemory);
    return file;
  }
  const std::string eol(platform::LineEnd);
  std::string interrupted = ErrorLine(file.name, "interrupted") + eol;
  file.abandonedLine = ErrorLine(file.name, "");
  file.unemptiedLine = "Error: could not empty " + file.name + "; it is left guarded" + eol;
  // Room for the file's record first: nothing may fail once it is emptied.
  openedIdentities.reserve(openedIdentities.size() + 1);
  openedNames.reserve(openedNames.size() + 1);
  std::string recordedName = file.name;
  platform::FileHandle handle;
  // From the open to the watch, an interruption waits: a file just made
  // is empty, and unwatched it would be left so unnamed.
  platform::InterruptionsHeld held;
  auto refuse = [&](platform::ErrorCode e, const std::string& reason) {
    if (handle.value != -1) (void)platform::CloseFile(handle);
    anyOutputFailed = file.reported = true;
    PrintErrorLine(ErrorLine(file.name, reason.empty() ? ErrorText(e) : reason));
    file.buffer.reset();
    return std::move(file);
  };
  if (platform::ErrorCode e = platform::OpenFile(file.name, handle)) {
    handle.value = -1;
    return refuse(e, "");
  }
  // Told from the open file itself, before anything is locked or cut: no
  // link made since the run began brings a second name to a file this run
  // writes. A file whose identity is not known (a device) is never cut.
  std::string identity = platform::IdentityOfOpenFile(handle);
  const auto same = std::find(openedIdentities.begin(), openedIdentities.end(), identity);
  if (!identity.empty() && same != openedIdentities.end())
    return refuse(0, "it is the same file as " + openedNames[static_cast<std::size_t>(same - openedIdentities.begin())]);
  // Another holder keeps its file untouched; so do the console's streams.
  if (platform::ErrorCode e = platform::LockFile(handle)) return refuse(e, "");
  if (platform::ErrorCode e = platform::ConsoleStreamOf(handle)) return refuse(e, "");
  Watch(handle, interrupted);
  if (platform::ErrorCode e = Empty(handle)) {
    Unwatch(handle);
    return refuse(e, "");
  }
  if (recording && !identity.empty()) {
    openedIdentities.push_back(std::move(identity));
    openedNames.push_back(std::move(recordedName));
  }
  file.handle = handle;
  file.open = true;
  return file;
}

void WriteLongFileLine(OutputFile& file, std::string_view text) {
  Flush(file);
  if (!file.buffer) return;
  if (file.comparing) {
    if (Compare(file, text.data(), text.size())) WriteFileLine(file, "");
    return;
  }
  platform::ErrorCode e = HandOver(file, text.data(), text.size());
  if (e != 0) return Fail(file, e);
  WriteFileLine(file, "");
}

char* ReserveLineSlow(OutputFile& file) {
  Flush(file);
  return file.buffer ? file.buffer.get() : nullptr;
}

void CloseOutputFile(OutputFile& file) {
  if (!file.open) return;
  Flush(file);
  const bool whole = file.buffer != nullptr;
  file.buffer.reset();
  platform::ErrorCode e = 0;
  if (whole && file.handle.isDisk) {
    // Lines durable before the guard goes, the real first line durable
    // before the file counts as complete.
    const std::size_t head = static_cast<std::size_t>(std::min<std::uint64_t>(file.handedOver, GuardBytes()));
    e = platform::EndHere(file.handle);
    if (e == 0) e = platform::SyncFile(file.handle);
    if (e == 0) e = platform::WriteAt(file.handle, 0, file.head, head);
    if (e == 0) e = platform::SyncFile(file.handle);
    if (e != 0) Fail(file, e);
  }
  file.open = false;
  Unwatch(file.handle);
  platform::ErrorCode closed = platform::CloseFile(file.handle);
  if (e == 0 && closed != 0) Report(file, closed);
  if (whole && e == 0 && closed == 0) ++committedFiles;
}

bool NameAbandonedFiles(std::string_view reason) noexcept {
  for (std::size_t i = 0; i < abandonedCount; ++i) {
    platform::WriteStandardError(abandoned[i]);
    platform::WriteStandardError(reason);
    platform::WriteStandardError(platform::LineEnd);
  }
  return abandonedCount > 0;
}

bool OutputFailed() { return anyOutputFailed; }
std::size_t CommittedFiles() { return committedFiles; }
void ExpectOutputFiles(std::size_t count) { expectedFiles = count; }
std::size_t ExpectedOutputFiles() { return expectedFiles; }

OutputFile OpenComparedFile(std::string_view name) {
  OutputFile file;
  file.name = name;
  file.comparing = true;
  file.differs = true;
  platform::FileHandle handle;
  if (platform::OpenForReading(file.name, handle) != 0) return file;
  file.handle = handle;
  file.open = true;
  file.buffer.reset(new (std::nothrow) char[OutputBufferSize]);
  file.held.reset(new (std::nothrow) char[OutputBufferSize]);
  // Anything but a disk file, or no room to compare, is written anew.
  if (handle.isDisk && file.buffer && file.held) file.differs = false;
  if (file.differs) file.buffer.reset();
  return file;
}

bool CloseComparedFile(OutputFile& file) {
  if (!file.open) return false;
  Flush(file);
  // Nothing more in it than the lines given.
  char more = 0;
  std::size_t got = 0;
  if (!file.differs && (platform::ReadSome(file.handle, &more, 1, got) != 0 || got != 0)) file.differs = true;
  file.open = false;
  file.buffer.reset();
  file.held.reset();
  (void)platform::CloseFile(file.handle);
  return !file.differs;
}

void KeepOutputFile() { ++committedFiles; }

std::string ReadFileStart(std::string_view name, std::size_t most) {
  std::string text;
  platform::FileHandle handle;
  if (platform::OpenForReading(std::string(name), handle) != 0) return text;
  if (handle.isDisk) {
    text.resize(most);
    std::size_t at = 0, got = 0;
    while (at < most && platform::ReadSome(handle, text.data() + at, most - at, got) == 0 && got != 0) at += got;
    text.resize(at);
  }
  (void)platform::CloseFile(handle);
  return text;
}
