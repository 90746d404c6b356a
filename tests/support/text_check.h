// Small text helpers the tests of several areas share: UTF-16 bytes, the
// channel identifier's hash and the shape of a generated source identifier.
#pragma once
#include <cstdint>
#include <string>

#include "common/ascii.h"

// UTF-16 bytes of a text of code units, with an optional byte-order mark.
inline std::string utf16(const std::u16string &units, bool little = true, bool mark = true) {
    std::string out;
    auto put = [&](char16_t u) {
        char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
        out += little ? lo : hi;
        out += little ? hi : lo;
    };
    if (mark) put(0xFEFF);
    for (char16_t u : units) put(u);
    return out;
}

// The same for a UTF-8 text (characters beyond U+FFFF as surrogate pairs).
inline std::string utf16(const std::string &utf8, bool little = true, bool mark = true) {
    std::u16string units;
    for (size_t i = 0; i < utf8.size();) {
        auto c = static_cast<unsigned char>(utf8[i]);
        size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (size_t k = 1; k < n && i + k < utf8.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        if (cp > 0xFFFF) {
            units += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            cp = 0xDC00 + ((cp - 0x10000) & 0x3FF);
        }
        units += static_cast<char16_t>(cp);
        i += n;
    }
    return utf16(units, little, mark);
}

// 64-bit FNV-1a, the hash behind channel identifiers.
inline uint64_t fnv1a(const std::string &s) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char b : s) h = (h ^ b) * 1099511628211ull;
    return h;
}

// A random (version 4) UUID in its lower-case text form.
inline bool is_uuid4(const std::string &s) {
    const std::string shape = "xxxxxxxx-xxxx-4xxx-vxxx-xxxxxxxxxxxx";
    if (s.size() != shape.size()) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        bool hex = vq_hex_digit(s[i]) >= 0 && !vq_is_upper(s[i]);
        bool ok = shape[i] == 'x' ? hex : shape[i] == 'v' ? std::string("89ab").find(s[i]) != s.npos : s[i] == shape[i];
        if (!ok) return false;
    }
    return true;
}
