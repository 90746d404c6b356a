// The one test of well-formed UTF-8 the source client applies: to messages,
// header values and the playlist's strings.
#pragma once
#include <cstddef>

namespace vqc {

// Length (1 to 4) of the well-formed UTF-8 sequence at p with left bytes
// remaining, or 0 when none starts there.
int utf8_seq(const unsigned char *p, size_t left);

}  // namespace vqc
