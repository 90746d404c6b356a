#include "fold.h"

#include <utf8proc.h>

#include <cstdlib>
#include <new>

#include "common/utf8.h"

namespace vqt {
namespace {

constexpr int kMatching = UTF8PROC_DECOMPOSE | UTF8PROC_COMPAT | UTF8PROC_CASEFOLD | UTF8PROC_STRIPMARK |
                          UTF8PROC_IGNORE | UTF8PROC_LUMP;

// Appends the folded form of a run of well-formed UTF-8.
void append_folded(std::string &out, std::string_view run) {
    utf8proc_uint8_t *folded = nullptr;
    utf8proc_ssize_t n = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t *>(run.data()),
                                      static_cast<utf8proc_ssize_t>(run.size()), &folded,
                                      static_cast<utf8proc_option_t>(kMatching));
    if (n < 0) {
        std::free(folded);
        // The run is well-formed, so only memory can be short.
        throw std::bad_alloc();
    }
    out.append(reinterpret_cast<const char *>(folded), static_cast<size_t>(n));
    std::free(folded);
}

}  // namespace

std::string fold_for_matching(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        size_t valid = vq_utf8_valid_prefix(reinterpret_cast<const unsigned char *>(text.data()), text.size());
        if (valid > 0) append_folded(out, text.substr(0, valid));
        if (valid < text.size()) out += text[valid++];
        text.remove_prefix(valid);
    }
    return out;
}

}  // namespace vqt
