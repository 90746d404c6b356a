#include "playlist_parser/decode.h"

#include <cstring>
#include <span>

#include "common/alloc.h"
#include "platform/platform.h"
#include "playlist_parser/charset.h"
#include "playlist_parser/codepage_guess.h"
#include "playlist_parser/state.h"
#include "playlist_parser/text.h"
#include "playlist_parser/vqplp.h"

namespace vqplp {

namespace {

struct Alias {
    const char *name;
    const char *source;
};

// Caller names and the converter name each stands for; other names pass through.
constexpr Alias kAliases[] = {
    {"utf-8", "UTF-8"},
    {"utf8", "UTF-8"},
    {"utf-16le", "UTF-16LE"},
    {"utf16le", "UTF-16LE"},
    {"utf-16be", "UTF-16BE"},
    {"utf16be", "UTF-16BE"},
    {"gbk", "GBK"},
    {"cp936", "GBK"},
    {"gb2312", "GBK"},
    {"gb18030", "GBK"},
    {"big5", "BIG5"},
    {"cp1252", "CP1252"},
    {"windows-1252", "CP1252"},
    {"latin1", "ISO-8859-1"},
    {"iso-8859-1", "ISO-8859-1"},
};

struct Fallback {
    const char *source;
    const char *label;  // as the warning names it
};

constexpr Fallback kGbk = {"GBK", "GBK"};
constexpr Fallback kCp1252 = {"CP1252", "CP1252"};
constexpr Fallback kLatin1 = {"ISO-8859-1", "latin1"};
// The order tried: GBK first unless the bytes read more plausibly as Western
// text (GBK takes most byte pairs of Latin-1 text, as the wrong characters).
// The Western order has no GBK: Latin-1, which takes any bytes, ends it.
constexpr Fallback kChineseFirst[] = {kGbk, kCp1252, kLatin1};
constexpr Fallback kWesternFirst[] = {kCp1252, kLatin1};

const char *source_name(const char *name) {
    if (!name || !*name) return nullptr;
    for (const Alias &a : kAliases)
        if (str_ieq(name, a.name)) return a.source;
    return name;
}

void keep(char *text, size_t len) {
    g_vq.decoded_text = text;
    g_vq.decoded_block = text;
    g_vq.decoded_len = len;
    g_vq.decoded_has_nul = std::memchr(text, '\0', len) != nullptr;
}

// 0, VQPLP_CHARSET_FAIL or VQPLP_CHARSET_NOMEM.
int convert(const char *source, const unsigned char *bytes, size_t len) {
    char *out = nullptr;
    size_t out_len = 0;
    int rc = vqplp_charset_to_utf8(source, bytes, len, &out, &out_len);
    if (rc == VQPLP_CHARSET_OK) keep(out, out_len);
    return rc;
}

// The byte-order mark of UTF-16 input comes out of the converter as U+FEFF; it
// said how to read the bytes and is no part of the text, and left in place it
// would hide an "#EXTM3U" header from detection.
void drop_converted_mark() {
    char *t = g_vq.decoded_block;
    if (g_vq.decoded_len < 3 || std::memcmp(t, "\xEF\xBB\xBF", 3) != 0) return;
    g_vq.decoded_len -= 3;
    std::memmove(t, t + 3, g_vq.decoded_len + 1);
}

int decode_utf16(const char *source, const unsigned char *bytes, size_t len, const char *error) {
    int rc = convert(source, bytes, len);
    if (rc == VQPLP_CHARSET_NOMEM) return VQPLP_E_NOMEM;
    if (rc != VQPLP_CHARSET_OK) {
        set_error("%s", error);
        return VQPLP_E_DECODE;
    }
    drop_converted_mark();
    return VQPLP_OK;
}

int copy_bytes(const unsigned char *bytes, size_t len, bool has_nul) {
    char *text = static_cast<char *>(vq_malloc(len + 1));
    if (!text) return VQPLP_E_NOMEM;
    vqp::advise_huge_pages(text, len + 1);
    std::memcpy(text, bytes, len);
    text[len] = '\0';
    g_vq.decoded_text = text;
    g_vq.decoded_block = text;
    g_vq.decoded_len = len;
    g_vq.decoded_has_nul = has_nul;
    return VQPLP_OK;
}

// VQPLP_OK when f gave the text (with its warning), VQPLP_E_DECODE when it
// does not take the bytes, or VQPLP_E_NOMEM.
int try_fallback(const Fallback &f, const unsigned char *bytes, size_t len) {
    int rc = convert(f.source, bytes, len);
    if (rc == VQPLP_CHARSET_NOMEM) return VQPLP_E_NOMEM;
    if (rc != VQPLP_CHARSET_OK) return VQPLP_E_DECODE;
    warnf("encoding: %s fallback", f.label);
    return VQPLP_OK;
}

// Bytes that are not UTF-8: the code page they read in most plausibly when
// one stands out, else the first of the GBK and Western ones that takes them.
int decode_fallback(const unsigned char *bytes, size_t len) {
    const char *page = likely_code_page(bytes, len);
    int rc = page ? try_fallback(Fallback{page, page}, bytes, len) : VQPLP_E_DECODE;
    if (rc != VQPLP_E_DECODE) return rc;
    std::span<const Fallback> order = kChineseFirst;
    if (reads_as_western(bytes, len)) order = kWesternFirst;
    for (const Fallback &f : order)
        if ((rc = try_fallback(f, bytes, len)) != VQPLP_E_DECODE) return rc;
    warnf("encoding: copied bytes as-is");
    return copy_bytes(bytes, len, std::memchr(bytes, '\0', len) != nullptr);
}

}  // namespace

int decode_empty() { return copy_bytes(reinterpret_cast<const unsigned char *>(""), 0, false); }

int decode_to_utf8(const unsigned char *bytes, size_t len, const char *name) {
    if (len >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) {
        bytes += 3;
        len -= 3;
    } else if (len >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        return decode_utf16("UTF-16LE", bytes, len, "utf16le fail");
    } else if (len >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
        return decode_utf16("UTF-16BE", bytes, len, "utf16be fail");
    }
    const char *source = source_name(name);
    if (source && std::strcmp(source, "UTF-8") != 0) {
        int rc = convert(source, bytes, len);
        if (rc == VQPLP_CHARSET_NOMEM) return VQPLP_E_NOMEM;
        if (rc == VQPLP_CHARSET_OK) return VQPLP_OK;
        set_error("iconv %s fail", source);
        return VQPLP_E_DECODE;
    }
    bool has_nul = false, strict = false;
    if (utf8_wellformed(bytes, len, &has_nul, &strict)) {
        int rc = copy_bytes(bytes, len, has_nul);
        g_vq.decoded_strict = rc == VQPLP_OK && strict;
        return rc;
    }
    return decode_fallback(bytes, len);
}

int decode_borrowed(const char *bytes, size_t len) {
    auto *u = reinterpret_cast<const unsigned char *>(bytes);
    bool utf16 = len >= 2 && ((u[0] == 0xFF && u[1] == 0xFE) || (u[0] == 0xFE && u[1] == 0xFF));
    size_t mark = len >= 3 && std::memcmp(u, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    bool has_nul = false, strict = false;
    if (utf16) return decode_to_utf8(u, len, nullptr);
    // bytes found not to be UTF-8 go to the fallbacks without a second check
    if (!utf8_wellformed(u + mark, len - mark, &has_nul, &strict)) return decode_fallback(u + mark, len - mark);
    g_vq.decoded_text = bytes + mark;
    g_vq.decoded_len = len - mark;
    g_vq.decoded_has_nul = has_nul;
    g_vq.decoded_strict = strict;
    return VQPLP_OK;
}

}  // namespace vqplp

bool vqplp_charset_name_known(const char *charset) {
    const char *source = vqplp::source_name(charset);
    return source && (std::strcmp(source, "UTF-8") == 0 || vqplp_charset_known(source));
}
