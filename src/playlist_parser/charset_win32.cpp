// The Windows conversion backend. Windows ships no iconv: the legacy code pages
// go through MultiByteToWideChar (refusing invalid input) and back out through
// WideCharToMultiByte as UTF-8; UTF-16 is decoded here directly so that an
// unpaired surrogate or an odd byte count is refused as iconv refuses them.
#include <windows.h>

#include <climits>
#include <cstdint>
#include <cstring>

#include "common/alloc.h"
#include "common/ascii.h"
#include "playlist_parser/charset.h"

namespace {

enum : UINT { kUtf16Le = 1, kUtf16Be = 2 };

struct charset_name {
    const char *name;
    UINT code;  // a Windows code page, or one of the UTF-16 markers above
};

// Names the decoder uses, and the common names callers give that iconv knows
// and Windows has a code page for; "CPnnnn", "WINDOWS-nnnn" and
// "ISO-8859-n" are read by number (numbered() below).
const charset_name kNames[] = {
    {"UTF-16LE", kUtf16Le}, {"UTF-16BE", kUtf16Be}, {"GBK", 936},        {"GB2312", 936},
    {"BIG5", 950},          {"SHIFT_JIS", 932},     {"SJIS", 932},       {"EUC-KR", 949},
    {"KOI8-R", 20866},      {"KOI8-U", 21866},      {"LATIN1", 28591},   {"UTF-8", CP_UTF8},
};

// A decimal number of at most five digits and nothing after it; 0 otherwise.
UINT number(const char *s) {
    UINT v = 0;
    size_t n = 0;
    for (; vq_is_digit(s[n]) && n < 5; ++n) v = v * 10 + static_cast<UINT>(s[n] - '0');
    return (n > 0 && s[n] == '\0') ? v : 0;
}

UINT numbered(const char *name) {
    const struct {
        const char *prefix;
        UINT base, most;
    } forms[] = {{"CP", 0, 99999}, {"WINDOWS-", 0, 99999}, {"ISO-8859-", 28590, 16}};
    for (const auto &f : forms) {
        size_t n = std::strlen(f.prefix);
        if (std::strlen(name) <= n || !vq_istarts_with(name, f.prefix)) continue;
        UINT v = number(name + n);
        if (v == 0 || v > f.most) return 0;
        return IsValidCodePage(f.base + v) ? f.base + v : 0;
    }
    return 0;
}

UINT lookup(const char *name) {
    for (const charset_name &n : kNames)
        if (vq_ieq(name, n.name)) return n.code;
    return numbered(name);
}

int hand_out(char *text, size_t len, char **out, size_t *out_len) {
    text[len] = '\0';
    *out = text;
    *out_len = len;
    return VQPLP_CHARSET_OK;
}

size_t put_utf8(uint32_t cp, char *dst) {
    auto *d = reinterpret_cast<unsigned char *>(dst);
    if (cp < 0x80) {
        d[0] = static_cast<unsigned char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        d[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
        d[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        d[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
        d[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        d[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        return 3;
    }
    d[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
    d[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
    d[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
    d[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    return 4;
}

// Next code point of UTF-16 input at unit index *i, or UINT32_MAX for an
// unpaired surrogate.
uint32_t next_unit(const unsigned char *in, size_t units, size_t *i, bool big_endian) {
    auto unit = [&](size_t k) -> uint32_t {
        return big_endian ? (uint32_t{in[2 * k]} << 8 | in[2 * k + 1]) : (uint32_t{in[2 * k + 1]} << 8 | in[2 * k]);
    };
    uint32_t u = unit((*i)++);
    if (u < 0xD800 || u > 0xDFFF) return u;
    if (u > 0xDBFF || *i >= units) return UINT32_MAX;
    uint32_t low = unit(*i);
    if (low < 0xDC00 || low > 0xDFFF) return UINT32_MAX;
    ++*i;
    return 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
}

int from_utf16(const unsigned char *in, size_t len, bool big_endian, char **out, size_t *out_len) {
    if (len % 2 != 0) return VQPLP_CHARSET_FAIL;
    size_t units = len / 2;
    // At most three UTF-8 bytes per unit (a surrogate pair gives four for two).
    if (units > (SIZE_MAX - 1) / 3) return VQPLP_CHARSET_NOMEM;
    char *buf = static_cast<char *>(vq_malloc(3 * units + 1));
    if (!buf) return VQPLP_CHARSET_NOMEM;
    size_t used = 0;
    for (size_t i = 0; i < units;) {
        uint32_t cp = next_unit(in, units, &i, big_endian);
        if (cp == UINT32_MAX) {
            vq_free(buf);
            return VQPLP_CHARSET_FAIL;
        }
        used += put_utf8(cp, buf + used);
    }
    return hand_out(buf, used, out, out_len);
}

int wide_to_utf8(const wchar_t *wide, int units, char **out, size_t *out_len) {
    int need = WideCharToMultiByte(CP_UTF8, 0, wide, units, nullptr, 0, nullptr, nullptr);
    if (need <= 0) return VQPLP_CHARSET_FAIL;
    char *buf = static_cast<char *>(vq_malloc(static_cast<size_t>(need) + 1));
    if (!buf) return VQPLP_CHARSET_NOMEM;
    if (WideCharToMultiByte(CP_UTF8, 0, wide, units, buf, need, nullptr, nullptr) != need) {
        vq_free(buf);
        return VQPLP_CHARSET_FAIL;
    }
    return hand_out(buf, static_cast<size_t>(need), out, out_len);
}

// Windows maps the bytes that its code pages 1250 to 1258 leave undefined
// (0x81 of CP1252, say) to C1 controls; the decoder treats them as invalid,
// as iconv does, so that text which is not in such a code page falls through
// to the next one on every platform alike.
bool is_hole(UINT cp, wchar_t w) { return cp >= 1250 && cp <= 1258 && w >= 0x80 && w <= 0x9F; }

bool has_hole(UINT cp, const wchar_t *wide, int units) {
    for (int i = 0; i < units; ++i)
        if (is_hole(cp, wide[i])) return true;
    return false;
}

int from_code_page(UINT cp, const unsigned char *in, size_t len, char **out, size_t *out_len) {
    if (len > INT_MAX) return VQPLP_CHARSET_NOMEM;
    auto src = reinterpret_cast<const char *>(in);
    int n = static_cast<int>(len);
    int units = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, src, n, nullptr, 0);
    if (units <= 0) return VQPLP_CHARSET_FAIL;
    auto *wide = static_cast<wchar_t *>(vq_malloc(static_cast<size_t>(units) * sizeof(wchar_t)));
    if (!wide) return VQPLP_CHARSET_NOMEM;
    int rc = VQPLP_CHARSET_FAIL;
    if (MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, src, n, wide, units) == units && !has_hole(cp, wide, units))
        rc = wide_to_utf8(wide, units, out, out_len);
    vq_free(wide);
    return rc;
}

}  // namespace

bool vqplp_charset_known(const char *source_name) { return source_name && lookup(source_name) != 0; }

bool vqplp_charset_high_chars(const char *source_name, uint32_t chars[128]) {
    UINT code = source_name ? lookup(source_name) : 0;
    if (code == 0) return false;
    bool utf16 = code == kUtf16Le || code == kUtf16Be;  // one byte is half a unit
    for (unsigned b = 0; b < 128; ++b) {
        char byte = static_cast<char>(0x80 + b);
        wchar_t w = 0;
        bool one = !utf16 && MultiByteToWideChar(code, MB_ERR_INVALID_CHARS, &byte, 1, &w, 1) == 1;
        chars[b] = one && !is_hole(code, w) ? w : 0;
    }
    return true;
}

int vqplp_charset_to_utf8(const char *source_name, const unsigned char *in, size_t len, char **out,
                          size_t *out_len) {
    *out = nullptr;
    *out_len = 0;
    UINT code = source_name ? lookup(source_name) : 0;
    if (code == 0) return VQPLP_CHARSET_FAIL;
    if (len == 0) {
        // The code-page calls refuse empty input; an empty text converts to itself.
        char *empty = static_cast<char *>(vq_malloc(1));
        return empty ? hand_out(empty, 0, out, out_len) : VQPLP_CHARSET_NOMEM;
    }
    if (code == kUtf16Le || code == kUtf16Be) return from_utf16(in, len, code == kUtf16Be, out, out_len);
    return from_code_page(code, in, len, out, out_len);
}
