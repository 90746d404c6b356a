// Which legacy code page reads bytes that are not UTF-8 the more plausibly.
#pragma once
#include <cstddef>

namespace vqplp {

// True when the bytes read better as Western European text in CP1252 than as
// Chinese text in GBK; false on a tie.
bool reads_as_western(const unsigned char *p, size_t n);

}  // namespace vqplp
