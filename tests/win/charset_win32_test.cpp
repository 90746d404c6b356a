// The code-page conversion backend: each character set the decoder names,
// other code pages by name or number, refusal of invalid input and of unknown
// names, and UTF-16 decoded by hand.
#include <gtest/gtest.h>

#include <string>

#include "common/alloc.h"
#include "playlist_parser/charset.h"

namespace {

struct Converted {
    int rc;
    std::string text;
};

Converted convert(const char *name, const std::string &in) {
    char *out = reinterpret_cast<char *>(1);
    size_t len = 99;
    int rc = vqplp_charset_to_utf8(name, reinterpret_cast<const unsigned char *>(in.data()), in.size(), &out, &len);
    Converted c{rc, ""};
    if (rc == VQPLP_CHARSET_OK) {
        EXPECT_EQ(out[len], '\0');
        c.text.assign(out, len);
        vq_free(out);
    } else {
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(len, 0u);
    }
    return c;
}

void expect_text(const char *name, const std::string &in, const std::string &want) {
    Converted c = convert(name, in);
    EXPECT_EQ(c.rc, VQPLP_CHARSET_OK) << name;
    EXPECT_EQ(c.text, want) << name;
}

TEST(CharsetWin32, ConvertsTheLegacyCodePages) {
    expect_text("GBK", "\xD6\xD0\xCE\xC4 ok", "\xE4\xB8\xAD\xE6\x96\x87 ok");
    expect_text("gbk", "\xD6\xD0", "\xE4\xB8\xAD");
    expect_text("BIG5", "\xA4\xA4\xA4\xE5", "\xE4\xB8\xAD\xE6\x96\x87");
    expect_text("CP1252", "caf\xE9 \x80", "caf\xC3\xA9 \xE2\x82\xAC");
    expect_text("windows-1252", "\x93q\x94", "\xE2\x80\x9Cq\xE2\x80\x9D");
    expect_text("ISO-8859-1", "\xE9\x80\xFF", "\xC3\xA9\xC2\x80\xC3\xBF");
    expect_text("latin1", std::string("a\0b", 3), std::string("a\0b", 3));
}

TEST(CharsetWin32, ReadsOtherCodePagesByNameAndNumber) {
    expect_text("KOI8-R", "\xC1", "\xD0\xB0");
    expect_text("cp1251", "\xE0", "\xD0\xB0");
    expect_text("Windows-1251", "\xE0", "\xD0\xB0");
    expect_text("ISO-8859-5", "\xD0", "\xD0\xB0");
    expect_text("iso-8859-15", "\xA4", "\xE2\x82\xAC");
    expect_text("CP936", "\xD6\xD0", "\xE4\xB8\xAD");
    expect_text("Shift_JIS", "\x82\xA0", "\xE3\x81\x82");
    for (const char *unknown : {"CP", "CP12a", "CP99999", "CP123456", "ISO-8859-17", "ISO-8859-", "WINDOWS-"})
        EXPECT_EQ(convert(unknown, "abc").rc, VQPLP_CHARSET_FAIL) << unknown;
}

TEST(CharsetWin32, RefusesInputInvalidInTheNamedSet) {
    // E9 is a GBK lead byte; a blank cannot follow it, nor can the end of input.
    EXPECT_EQ(convert("GBK", "\xE9\x74\xE9\x20").rc, VQPLP_CHARSET_FAIL);
    EXPECT_EQ(convert("GBK", "ab\xD6").rc, VQPLP_CHARSET_FAIL);
    EXPECT_EQ(convert("BIG5", "\xA4").rc, VQPLP_CHARSET_FAIL);
    for (const char *hole : {"\x81", "\x8D", "\x8F", "\x90", "\x9D"})
        EXPECT_EQ(convert("CP1252", std::string("ok ") + hole).rc, VQPLP_CHARSET_FAIL) << int(hole[0] & 0xFF);
}

TEST(CharsetWin32, UnknownAndMissingNamesFailLikeAnUnknownCharset) {
    EXPECT_EQ(convert("X-NO-SUCH-SET", "abc").rc, VQPLP_CHARSET_FAIL);
    EXPECT_EQ(convert("", "abc").rc, VQPLP_CHARSET_FAIL);
    EXPECT_EQ(convert(nullptr, "abc").rc, VQPLP_CHARSET_FAIL);
    EXPECT_EQ(convert("GBKX", "abc").rc, VQPLP_CHARSET_FAIL);
}

TEST(CharsetWin32, DecodesUtf16KeepingTheMark) {
    expect_text("UTF-16LE", std::string("\xFF\xFE" "A\0\xE9\0", 6), "\xEF\xBB\xBF" "A\xC3\xA9");
    expect_text("UTF-16BE", std::string("\xFE\xFF\0A\x4E\x2D", 6), "\xEF\xBB\xBF" "A\xE4\xB8\xAD");
    expect_text("utf-16le", std::string("\xFF\xFE", 2), "\xEF\xBB\xBF");
    // U+1F600 as a surrogate pair.
    expect_text("UTF-16LE", std::string("\x3D\xD8\x00\xDE", 4), "\xF0\x9F\x98\x80");
    expect_text("UTF-16BE", std::string("\0\0", 2), std::string("\0", 1));
}

TEST(CharsetWin32, RefusesBrokenUtf16) {
    EXPECT_EQ(convert("UTF-16LE", std::string("A\0B", 3)).rc, VQPLP_CHARSET_FAIL);  // odd length
    EXPECT_EQ(convert("UTF-16LE", std::string("\x3D\xD8", 2)).rc, VQPLP_CHARSET_FAIL);  // cut pair
    EXPECT_EQ(convert("UTF-16LE", std::string("\x3D\xD8" "A\0", 4)).rc, VQPLP_CHARSET_FAIL);
    EXPECT_EQ(convert("UTF-16BE", std::string("\xDE\x00\0A", 4)).rc, VQPLP_CHARSET_FAIL);  // lone low half
}

TEST(CharsetWin32, EmptyInputGivesAnEmptyText) {
    expect_text("GBK", "", "");
    expect_text("UTF-16LE", "", "");
}

TEST(CharsetWin32, ShortMemoryIsReportedAndLeavesNothing) {
    for (const char *name : {"GBK", "UTF-16LE"}) {
        vq_alloc_fail_nth(1);
        EXPECT_EQ(convert(name, std::string("\xD6\xD0", 2)).rc, VQPLP_CHARSET_NOMEM) << name;
        vq_alloc_disarm();
    }
    vq_alloc_fail_nth(2);  // the UTF-8 text after the UTF-16 copy
    EXPECT_EQ(convert("CP1252", "abc").rc, VQPLP_CHARSET_NOMEM);
    vq_alloc_disarm();
}

}  // namespace
