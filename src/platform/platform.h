// Thin shims over the operating system. Nothing else in the library calls the
// OS directly; CMake picks the implementation file for the target platform.
#pragma once
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace vqp {
// Process-wide locks: constant-initialised, taken exclusively, never recursively.
using Lock = std::mutex;
using Guard = std::lock_guard<std::mutex>;

// Monotonic milliseconds since an arbitrary start (system boot where available).
uint64_t now_ms();
// Blocks the calling thread for about ms milliseconds.
void sleep_ms(uint32_t ms);
// Fills buf with n bytes from the OS's secure random source; 0, or -1 on failure
// (the buffer is then left as it was).
int secure_random(void *buf, size_t n);
// Hints that a large heap block about to be filled be backed by huge pages, so
// that filling it takes a few page faults instead of one per 4 KiB page; p is
// the block as the C runtime's allocator returned it, n the size asked for.
// Only a hint: where it is refused or unsupported nothing changes, and the
// block can still be grown in place.
void advise_huge_pages(void *p, size_t n);
// The usable size of a block from the C runtime's allocator (p not null).
size_t heap_block_size(void *p);
}  // namespace vqp
