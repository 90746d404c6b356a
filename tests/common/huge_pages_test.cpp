#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "common/shared_buf.h"

namespace {

// The [begin, end) of the mapping that holds address a, from /proc/self/maps.
std::pair<uintptr_t, uintptr_t> mapping_of(const void *a) {
    auto at = reinterpret_cast<uintptr_t>(a);
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        unsigned long begin = 0, end = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx", &begin, &end) == 2 && begin <= at && at < end) return {begin, end};
    }
    return {0, 0};
}

// A big block advised to huge pages stays one mapping from its first to its
// last byte: a mapping split by the hint cannot be remapped, so every growth
// would copy the body received so far and fault it in again.
TEST(HugePages, ABigBufferStaysOneMappingAsItGrows) {
    shared_buf *b = nullptr;
    std::string piece(1 << 20, 'x');
    for (size_t cap : {size_t{40} << 20, size_t{80} << 20}) {
        ASSERT_TRUE(sbuf_reserve(&b, cap));
        while (sbuf_len(b) + piece.size() < cap) sbuf_append(b, piece.data(), piece.size());
        auto [begin, end] = mapping_of(sbuf_data(b));
        EXPECT_LE(begin, reinterpret_cast<uintptr_t>(b));
        EXPECT_GE(end, reinterpret_cast<uintptr_t>(sbuf_data(b) + cap)) << "capacity " << cap;
    }
    EXPECT_EQ(sbuf_data(b)[sbuf_len(b) - 1], 'x');
    sbuf_unref(b);
}

}  // namespace
