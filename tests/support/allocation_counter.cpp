#include "allocation_counter.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>

namespace {
std::atomic<uint64_t> g_all{0};
thread_local uint64_t t_thread = 0;  // plain static storage: no allocation on first use
void Count() {
  g_all.fetch_add(1, std::memory_order_relaxed);
  ++t_thread;
}
}  // namespace

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kCountC = false;
#else
constexpr bool kCountC = true;
// These forward to glibc's allocator, so free() stays glibc's own.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void* malloc(std::size_t n) {
  Count();
  return __libc_malloc(n);
}
void* calloc(std::size_t count, std::size_t n) {
  Count();
  return __libc_calloc(count, n);
}
void* realloc(void* p, std::size_t n) {
  Count();
  return __libc_realloc(p, n);
}
void* aligned_alloc(std::size_t alignment, std::size_t n) {
  Count();
  return __libc_memalign(alignment, n);
}
int posix_memalign(void** p, std::size_t alignment, std::size_t n) {
  Count();
  *p = __libc_memalign(alignment, n);
  return *p ? 0 : ENOMEM;
}
}
#endif

void* operator new(std::size_t n) {
  if (!kCountC) Count();  // else malloc counts it
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace kx::test {
bool CountingEveryAllocation() { return kCountC; }
uint64_t AllAllocations() { return g_all.load(std::memory_order_relaxed); }
uint64_t ThreadAllocations() { return t_thread; }
}  // namespace kx::test
