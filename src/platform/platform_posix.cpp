#include "platform/platform.h"

#include <malloc.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace vqp {

uint64_t now_ms() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void sleep_ms(uint32_t ms) {
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

int secure_random(void *buf, size_t n) {
    auto *p = static_cast<unsigned char *>(buf);
    size_t got = 0;
    while (got < n) {
        ssize_t r = getrandom(p + got, n - got, 0);
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        got += static_cast<size_t>(r);
    }
    return 0;
}

// The hint spans the block's whole mapping, from its first page to the end of
// its usable size: a hint on part of a mapping splits it, and a block whose
// mapping is in pieces can no longer be moved or grown by remapping, so every
// later realloc of it would copy it (and fault its pages in again).
void advise_huge_pages(void *p, size_t n) {
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    if (n < 2 * kHuge) return;
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    uintptr_t begin = reinterpret_cast<uintptr_t>(p) & ~(page - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(p) + malloc_usable_size(p) + page - 1) & ~(page - 1);
    madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)p;
    (void)n;
#endif
}

size_t heap_block_size(void *p) { return malloc_usable_size(p); }

}  // namespace vqp
