// The model's and the operations' former names for common/ascii.h's case-blind
// comparison, kept only until their last users include that header.
#pragma once
#include <cstddef>
#include <string_view>

#include "common/ascii.h"

namespace vqc {
inline bool ieq_sv(std::string_view a, std::string_view b) { return vq_ieq(a, b); }
inline int ieq_n(const char *bytes, size_t n, const char *name) { return vq_ieq({bytes, n}, name) ? 1 : 0; }
}  // namespace vqc
