#include "common/json_text.h"

#include <charconv>

#include "common/alloc.h"
#include "common/ascii.h"
#include "common/byte_scan.h"

namespace vqjson {

namespace {
constexpr size_t kFirstCap = 4096;

// The escape RapidJSON's writer uses for a byte below 0x20, '"' and '\': the
// letter after the backslash, or 'u' for \u00XX.
char escape_letter(unsigned char c) {
    switch (c) {
        case '"': return '"';
        case '\\': return '\\';
        case '\b': return 'b';
        case '\t': return 't';
        case '\n': return 'n';
        case '\f': return 'f';
        case '\r': return 'r';
        default: return 'u';
    }
}
}  // namespace

TextOut::~TextOut() { vq_free(data_); }

bool TextOut::grow(size_t more) {
    if (failed_) return false;
    if (more > SIZE_MAX / 4 - len_) {
        failed_ = true;
        return false;
    }
    size_t need = len_ + more + 1;
    size_t cap = cap_ ? cap_ : kFirstCap;
    while (cap < need) cap += cap / 2;
    auto *grown = static_cast<char *>(vq_realloc(data_, cap));
    if (!grown) {
        failed_ = true;
        return false;
    }
    data_ = grown;
    cap_ = cap;
    return true;
}

void TextOut::raw_grown(std::string_view s) {
    if (!grow(s.size())) return;
    std::memcpy(data_ + len_, s.data(), s.size());
    len_ += s.size();
}

void TextOut::reserve(size_t n) {
    if (cap_ - len_ <= n) grow(n);
}

void TextOut::escaped(std::string_view s) {
    while (!s.empty()) {
        size_t plain = vqbytes::find_json_escape<>(s.data(), s.size());
        raw(s.substr(0, plain));
        if (plain == s.size()) return;
        auto c = static_cast<unsigned char>(s[plain]);
        char e[6] = {'\\', escape_letter(c), '0', '0', vq_hex_upper(c >> 4), vq_hex_upper(c)};
        raw(std::string_view(e, e[1] == 'u' ? 6 : 2));
        s.remove_prefix(plain + 1);
    }
}

void TextOut::number(int64_t n) {
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    raw(std::string_view(digits, static_cast<size_t>(end - digits)));
}

char *TextOut::release(size_t *len) {
    *len = 0;
    if (failed_ || (!data_ && !grow(0))) return nullptr;  // a text never written has no block yet
    data_[len_] = '\0';
    if (auto *fit = static_cast<char *>(vq_realloc(data_, len_ + 1))) data_ = fit;
    char *text = data_;
    *len = len_;
    data_ = nullptr;
    len_ = cap_ = 0;
    return text;
}

}  // namespace vqjson
