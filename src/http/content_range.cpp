// Parser of "Content-Range" values such as "bytes 0-99/200", "bytes */1234"
// and "bytes 0-99/*".
#include <cstdlib>
#include <cstring>

#include "http/content_range.h"

namespace {
// Reads a non-negative decimal at *p (as strtoll reads it) and moves *p past
// it; false when no digits were read or the number is negative.
bool read_pos(const char **p, int64_t *out) {
    char *end = nullptr;
    long long v = std::strtoll(*p, &end, 10);
    if (end == *p || v < 0) return false;
    *p = end;
    *out = v;
    return true;
}

// "first-last" or "first-*" after the unit; stores what it accepts.
bool read_span(const char **p, int64_t *first, int64_t *last) {
    int64_t f = 0;
    if (!read_pos(p, &f) || **p != '-') return false;
    *first = f;
    ++*p;
    if (**p == '*') {
        ++*p;
        return true;
    }
    int64_t l = 0;
    if (!read_pos(p, &l) || (**p != '/' && **p != '\0')) return false;
    *last = l;
    return l >= f;
}

// "/total", "/*" or nothing at the end of the value.
bool read_total(const char *p, int64_t first, int64_t last, int64_t *total) {
    if (*p == '\0') return true;
    if (*p++ != '/') return false;
    if (*p == '*') return true;
    int64_t t = 0;
    if (!read_pos(&p, &t) || *p != '\0') return false;
    if (first >= 0 && last >= 0 && first > t) return false;
    *total = t;
    return true;
}
}  // namespace

int quorvex_content_range(const char *text, int64_t *first, int64_t *last, int64_t *total) {
    *first = *last = *total = -1;
    if (!text || std::strncmp(text, "bytes", 5) != 0) return -1;
    const char *p = text + 5;
    while (*p == ' ') ++p;
    if (*p == '*')
        ++p;
    else if (*p != '\0' && !read_span(&p, first, last))
        return -1;
    return read_total(p, *first, *last, total) ? 0 : -1;
}
