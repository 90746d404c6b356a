// The Windows shims. rand_s is declared by stdlib.h only when _CRT_RAND_S is
// defined before the first include of any C runtime header.
#define _CRT_RAND_S
#include <malloc.h>
#include <stdlib.h>
#include <windows.h>

#include <cstring>

#include "platform/platform.h"

namespace vqp {

uint64_t now_ms() { return GetTickCount64(); }

void sleep_ms(uint32_t ms) { Sleep(ms); }

int secure_random(void *buf, size_t n) {
    auto *p = static_cast<unsigned char *>(buf);
    for (size_t done = 0; done < n;) {
        unsigned int word = 0;
        if (rand_s(&word) != 0) return -1;
        size_t part = n - done < sizeof word ? n - done : sizeof word;
        std::memcpy(p + done, &word, part);
        done += part;
    }
    return 0;
}

void advise_huge_pages(void *, size_t) {}

size_t heap_block_size(void *p) { return _msize(p); }

}  // namespace vqp
