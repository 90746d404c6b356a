// Names compared without regard to ASCII letter case: attribute keys, option
// keys and header names.
#pragma once
#include <cstddef>
#include <string_view>

namespace vqc {

// ASCII-case-blind equality, sizes first. Inline: the model's builder asks
// it of several attribute keys of every entry.
inline bool ieq_sv(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++) {
        char folded = static_cast<char>(a[i] | 0x20);
        // bytes that differ must be one letter in its two cases
        if (a[i] != b[i] && (folded != (b[i] | 0x20) || folded < 'a' || folded > 'z')) return false;
    }
    return true;
}

// The same of n bytes and a name: 1 when equal, else 0.
inline int ieq_n(const char *bytes, size_t n, const char *name) { return ieq_sv({bytes, n}, name) ? 1 : 0; }

}  // namespace vqc
