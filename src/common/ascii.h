// ASCII character classes and case folding, written once for the library:
// header names, attribute and option keys, charset names and URL escapes are
// ASCII whatever the text around them, and bytes from 0x80 up are never
// letters, digits or white space here (unlike <cctype>, no locale is read).
#pragma once
#include <cstddef>
#include <string_view>

constexpr bool vq_is_upper(char c) { return c >= 'A' && c <= 'Z'; }
constexpr bool vq_is_alpha(char c) { return vq_is_upper(c) || (c >= 'a' && c <= 'z'); }
constexpr bool vq_is_digit(char c) { return c >= '0' && c <= '9'; }
constexpr bool vq_is_alnum(char c) { return vq_is_alpha(c) || vq_is_digit(c); }
// Space, tab, line feed, vertical tab, form feed, carriage return.
constexpr bool vq_is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
// A control byte: 0x00 to 0x1F, or 0x7F (DEL).
constexpr bool vq_is_control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// A character of an HTTP token (RFC 9110): what header names and methods are
// made of.
constexpr bool vq_is_token_char(char c) {
    if (vq_is_alnum(c)) return true;
    for (char t : std::string_view("!#$%&'*+-.^_`|~"))
        if (c == t) return true;
    return false;
}

constexpr char vq_lower(char c) { return vq_is_upper(c) ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char vq_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The value of a hexadecimal digit (either case), -1 for any other byte.
constexpr int vq_hex_digit(char c) {
    if (vq_is_digit(c)) return c - '0';
    char l = vq_lower(c);
    return l >= 'a' && l <= 'f' ? l - 'a' + 10 : -1;
}

// The upper-case hexadecimal digit of v (0 to 15), as percent escapes write it.
constexpr char vq_hex_upper(unsigned v) { return "0123456789ABCDEF"[v & 15]; }

// Equal ignoring ASCII case, sizes first. Bytes that differ must be one
// letter in its two cases; the model asks this of several keys of every
// entry, so equal bytes cost one comparison.
constexpr bool vq_ieq(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++) {
        if (a[i] == b[i]) continue;
        char folded = static_cast<char>(a[i] | 0x20);
        if (folded != (b[i] | 0x20) || folded < 'a' || folded > 'z') return false;
    }
    return true;
}

constexpr bool vq_istarts_with(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && vq_ieq(s.substr(0, prefix.size()), prefix);
}
