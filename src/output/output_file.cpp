#include "output/output_file.h"

#include <new>
#include <utility>

#include "output/console.h"

namespace {

bool anyOutputFailed = false;

std::string ErrorLine(const std::string& name, const std::string& reason) {
  return "Error: could not write " + name + ": " + reason;
}

void Report(OutputFile& file, platform::ErrorCode code) {
  anyOutputFailed = true;
  if (file.reported) return;
  file.reported = true;
  PrintErrorLine(ErrorLine(file.name, platform::ErrorText(code)));
}

// A zone cut short would be served with records missing or wrong: a file
// that could not be written in full is left empty, which servers refuse.
void Fail(OutputFile& file, platform::ErrorCode code) {
  Report(file, code);
  file.buffer.reset();
  platform::CutToEmpty(file.handle);
}

void Flush(OutputFile& file) {
  if (!file.buffer || file.used == 0) return;
  platform::ErrorCode e = platform::WriteAll(file.handle, file.buffer.get(), file.used);
  file.used = 0;
  if (e != 0) Fail(file, e);
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
  // The buffer first: without it the file is left as it is.
  file.buffer.reset(new (std::nothrow) char[OutputBufferSize]);
  if (!file.buffer) {
    Report(file, platform::OutOfMemory);
    return file;
  }
  std::string interrupted = ErrorLine(file.name, "interrupted");
  interrupted += platform::LineEnd;
  platform::ErrorCode e = platform::OpenForWriting(file.name, interrupted, file.handle);
  if (e != 0) {
    Report(file, e);
    file.buffer.reset();
    return file;
  }
  file.open = true;
  return file;
}

void WriteLongFileLine(OutputFile& file, std::string_view text) {
  Flush(file);
  if (!file.buffer) return;
  platform::ErrorCode e = platform::WriteAll(file.handle, text.data(), text.size());
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
  file.buffer.reset();
  file.open = false;
  platform::ErrorCode e = platform::CutAndClose(file.handle);
  if (e != 0) Report(file, e);
}

bool OutputFailed() { return anyOutputFailed; }
