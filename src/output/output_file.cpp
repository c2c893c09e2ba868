#include "output/output_file.h"

#include <utility>

#include "output/console.h"

namespace {

bool anyOutputFailed = false;

void Report(OutputFile& file, platform::ErrorCode code) {
  anyOutputFailed = true;
  if (file.reported) return;
  file.reported = true;
  PrintErrorLine("Error: could not write " + file.name + ": " + platform::ErrorText(code));
}

void Flush(OutputFile& file) {
  if (!file.buffer || file.used == 0) return;
  platform::ErrorCode e = platform::WriteAll(file.handle, file.buffer.get(), file.used);
  file.used = 0;
  if (e != 0) {
    Report(file, e);
    file.buffer.reset();
  }
}

}  // namespace

OutputFile::OutputFile(OutputFile&& other) noexcept { *this = std::move(other); }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    CloseOutputFile(*this);
    name = std::move(other.name);
    handle = other.handle;
    open = std::exchange(other.open, false);
    reported = other.reported;
    buffer = std::move(other.buffer);
    used = std::exchange(other.used, 0);
  }
  return *this;
}

OutputFile::~OutputFile() { CloseOutputFile(*this); }

OutputFile OpenOutputFile(std::string_view name) {
  OutputFile file;
  file.name = name;
  platform::ErrorCode e = platform::OpenForWriting(file.name, file.handle);
  if (e != 0) {
    Report(file, e);
    return file;
  }
  file.open = true;
  file.buffer.reset(new char[OutputBufferSize]);
  return file;
}

void WriteLongFileLine(OutputFile& file, std::string_view text) {
  Flush(file);
  if (!file.buffer) return;
  platform::ErrorCode e = platform::WriteAll(file.handle, text.data(), text.size());
  if (e != 0) {
    Report(file, e);
    file.buffer.reset();
    return;
  }
  WriteFileLine(file, "");
}

char* ReserveLineSlow(OutputFile& file) {
  Flush(file);
  return file.buffer ? file.buffer.get() : nullptr;
}

void CloseOutputFile(OutputFile& file) {
  if (!file.open) return;
  Flush(file);
  file.buffer.reset();
  file.open = false;
  platform::ErrorCode e = platform::CutAndClose(file.handle);
  if (e != 0) Report(file, e);
}

bool OutputFailed() { return anyOutputFailed; }
