#include "source_client/util/utf8.h"

namespace vqc {

namespace {
bool in_range(unsigned char c, unsigned char lo, unsigned char hi) { return c >= lo && c <= hi; }
}  // namespace

int utf8_seq(const unsigned char *p, size_t left) {
    if (left == 0) return 0;
    unsigned char c = p[0];
    if (c < 0x80) return 1;
    int len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (in_range(c, 0xC2, 0xDF)) {
        len = 2;
    } else if (in_range(c, 0xE0, 0xEF)) {
        len = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (in_range(c, 0xF0, 0xF4)) {
        len = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (left < static_cast<size_t>(len) || !in_range(p[1], lo, hi)) return 0;
    for (int i = 2; i < len; ++i) {
        if (!in_range(p[i], 0x80, 0xBF)) return 0;
    }
    return len;
}

}  // namespace vqc
