// Which legacy code page reads bytes that are not UTF-8 the more plausibly.
#pragma once
#include <cstddef>

namespace vqplp {

// True when the bytes read better as Western European text in CP1252 than as
// Chinese text in GBK; false on a tie.
bool reads_as_western(const unsigned char *p, size_t n);

// The single-byte code page other than CP1252 (CP1250, CP1251, CP1253 to
// CP1256, KOI8-R) under which the bytes read decisively more plausibly than
// as Western text in CP1252 and as Chinese in GBK, or null when none does.
// Looks at the first kGuessSample bytes from 0x80 up at most: a few hundred
// names, each byte read under some twenty readings.
const char *likely_code_page(const unsigned char *p, size_t n);
constexpr size_t kGuessSample = 4096;

}  // namespace vqplp
