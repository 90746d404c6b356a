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

// Heap texts held per thread (per fiber on Windows), in a few numbered slots.
// keep_thread_text hands text (or null) over to the calling thread's slot and
// releases the text it held; the thread's last texts are released when it
// ends, by the release function they were kept with. This is not left to C++
// thread_local destructors: mingw's runtime can free a thread's thread_local
// storage before it runs them. Answers false, having released text, only when
// the thread's record of slots could not be made.
constexpr unsigned kThreadTextSlots = 4;
bool keep_thread_text(unsigned slot, char *text, void (*release)(void *));
// The calling thread's text in slot, or null.
const char *thread_text(unsigned slot);
}  // namespace vqp
