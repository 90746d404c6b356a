// The operations' former name for common/utf8.h's sequence check, kept only
// until its last user includes that header.
#pragma once
#include <cstddef>

#include "common/utf8.h"

namespace vqc {
inline int utf8_seq(const unsigned char *p, size_t left) { return static_cast<int>(vq_utf8_seq(p, left)); }
}  // namespace vqc
