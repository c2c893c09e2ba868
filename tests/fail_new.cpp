// Preloaded into a run: the N-th allocation through operator new fails
// (ZONQUIST_FAIL_NEW_AT=N), as it would when memory runs short there, or it
// and every one after it (ZONQUIST_FAIL_NEW_FROM=N), as when it has run out.
#include <cstdlib>
#include <new>

namespace {

long Number(const char* name) {
  const char* n = std::getenv(name);
  return n ? std::atol(n) : 0L;
}

bool FailsNow() {
  static const long at = Number("ZONQUIST_FAIL_NEW_AT"), from = Number("ZONQUIST_FAIL_NEW_FROM");
  static long calls = 0;
  ++calls;
  return calls == at || (from > 0 && calls >= from);
}

void* Take(std::size_t size) {
  if (FailsNow()) return nullptr;
  return std::malloc(size ? size : 1);
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* p = Take(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Take(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Take(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
