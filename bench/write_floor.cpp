// The write floor: writes a buffer filled once, in 1 MiB writes, into each
// named file, truncating it first, and makes it durable as the tool does
// (a first line synced before the rest, sync, first line rewritten, sync;
// the folder synced at the end). Only the system's cost of the bytes.
//   write_floor NAME SIZE [NAME SIZE ...]
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  constexpr std::size_t kChunk = std::size_t{1} << 20;
  std::vector<char> buffer(kChunk, 'x');
  for (std::size_t i = 0; i < kChunk; i += 40) buffer[i] = '\n';
  for (int i = 1; i + 1 < argc; i += 2) {
    // Cut as the tool cuts, after opening, so both pay the same for it.
    int fd = open(argv[i], O_WRONLY | O_CREAT, 0666);
    if (fd < 0 || ftruncate(fd, 0) != 0) {
      std::perror(argv[i]);
      return 2;
    }
    unsigned long long left = std::strtoull(argv[i + 1], nullptr, 10);
    if (left >= 40) {
      if (write(fd, buffer.data(), 40) != 40 || fdatasync(fd) != 0) {
        std::perror(argv[i]);
        return 2;
      }
      left -= 40;
    }
    // The rest of the first chunk, so that later writes are aligned as the
    // tool's are.
    std::size_t chunk = kChunk - 40;
    while (left > 0) {
      std::size_t n = left < chunk ? static_cast<std::size_t>(left) : chunk;
      chunk = kChunk;
      ssize_t w = write(fd, buffer.data(), n);
      if (w <= 0) {
        std::perror(argv[i]);
        return 2;
      }
      left -= static_cast<unsigned long long>(w);
    }
    if (fdatasync(fd) != 0 || pwrite(fd, buffer.data(), 40, 0) != 40 || fdatasync(fd) != 0) {
      std::perror(argv[i]);
      return 2;
    }
    close(fd);
  }
  int folder = open(".", O_RDONLY | O_DIRECTORY);
  if (folder < 0 || fsync(folder) != 0) {
    std::perror(".");
    return 2;
  }
  close(folder);
  return 0;
}
