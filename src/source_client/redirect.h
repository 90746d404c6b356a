// Where a redirect leads: the "Location" of an answer resolved against the URL
// that was asked for, as RFC 3986 resolves references.
#pragma once
#include <cstddef>

constexpr size_t kUrlCap = 2048;  // a request URL holds at most 2047 bytes

// Writes into next (kUrlCap bytes) the URL that location refers to from base;
// false when it cannot be followed (empty, longer than 2047 bytes, a scheme
// without "//", or a result longer than 2047 bytes). The fragment is dropped.
bool redirect_target(const char *base, const char *location, char *next);
