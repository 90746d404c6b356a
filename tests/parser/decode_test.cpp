// Decoding playlist bytes to UTF-8: byte-order marks, named character sets and
// the fallbacks for bytes that are not UTF-8.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "common/alloc.h"
#include "common/utf8.h"
#include "parser_test_util.h"
#include "text_check.h"

using namespace ptest;

namespace {


struct DecodeCase {
    const char *what;
    std::string input;
    const char *charset;
    std::string text;     // decoded text expected
    const char *warning;  // the one warning expected, or null for none
};

}  // namespace

TEST(ParserDecode, DecodesToUtf8) {
    const DecodeCase cases[] = {
        {"ascii", "abc", nullptr, "abc", nullptr},
        {"utf-8 mark dropped",
         "\xEF\xBB\xBF"
         "abc",
         nullptr, "abc", nullptr},
        {"mark then bad bytes", "\xEF\xBB\xBF\xE9t\xE9 ", nullptr, "\xC3\xA9t\xC3\xA9 ", "encoding: CP1252 fallback"},
        {"western single-byte", "\xE9t\xE9 ", nullptr, "\xC3\xA9t\xC3\xA9 ", "encoding: CP1252 fallback"},
        {"gbk without name", "\xD6\xD0\xCE\xC4", nullptr, "\xE4\xB8\xAD\xE6\x96\x87", "encoding: GBK fallback"},
        // GBK would take these too; the accented letters inside words decide
        {"western letters in words", "M\xFCnchen Cora\xE7\xE3o", nullptr, "M\xC3\xBCnchen Cora\xC3\xA7\xC3\xA3o",
         "encoding: CP1252 fallback"},
        {"gbk pair after ascii", "CCTV-5\xCC\xE5\xD3\xFD", nullptr, "CCTV-5\xE4\xBD\x93\xE8\x82\xB2",
         "encoding: GBK fallback"},
        {"latin1 last resort", "a\x81", nullptr, "a\xC2\x81", "encoding: latin1 fallback"},
        {"cut-off sequence", "abc\xC3", nullptr, "abc\xC3\x83", "encoding: CP1252 fallback"},
        {"stray continuation", "a\x80", nullptr, "a\xE2\x82\xAC", "encoding: GBK fallback"},
        {"named utf-8 still falls back", "\xE9t\xE9 ", "UtF-8", "\xC3\xA9t\xC3\xA9 ", "encoding: CP1252 fallback"},
        {"big5 named", "\xA4\xA4\xA4\xE5", "big5", "\xE4\xB8\xAD\xE6\x96\x87", nullptr},
        {"gb18030 is gbk", "\xD6\xD0", "GB18030", "\xE4\xB8\xAD", nullptr},
        {"cp1252 named", "\x80", "windows-1252", "\xE2\x82\xAC", nullptr},
        {"latin1 named", "\x80", "latin1", "\xC2\x80", nullptr},
        {"koi8-r passed through", "\xC1", "KOI8-R", "\xD0\xB0", nullptr},
        {"cp1255 keeps its last letter", "\xE0", "CP1255", "\xD7\x90", nullptr},
        {"empty name is automatic", "abc", "", "abc", nullptr},
        {"overlong form passes", "\xC0\x80", nullptr, std::string("\xC0\x80", 2), nullptr},
        {"utf-16 without mark copied", std::string("a\0b\0", 4), nullptr, std::string("a\0b\0", 4), nullptr},
        {"utf-16le named", utf16(u"hi", true, false), "utf16le", "hi", nullptr},
        {"utf-16le mark", utf16(u"h\u00e9", true, true), nullptr, "h\xC3\xA9", nullptr},
        {"utf-16be mark beats name", utf16(u"h\u00e9", false, true), "gbk", "h\xC3\xA9", nullptr},
        {"mark alone", "\xFF\xFE", nullptr, "", nullptr},
    };
    for (const DecodeCase &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(parse(c.input, VQPLP_FMT_STREAMING_LIST, c.charset), 0);
        EXPECT_EQ(decoded(), c.text);
        EXPECT_EQ(vqplp_decoded_text()[vqplp_decoded_len()], '\0');
        std::vector<std::string> w = warnings();
        if (c.warning) {
            ASSERT_FALSE(w.empty());
            EXPECT_EQ(w[0], c.warning);
        } else {
            EXPECT_TRUE(w.empty() || w[0].rfind("encoding:", 0) != 0) << w[0];
        }
    }
}

// ASCII is checked many bytes a step: a byte that is not UTF-8, or a sequence
// that is, is seen at any offset of a long text.
TEST(ParserDecode, ANonAsciiByteIsSeenAtAnyOffset) {
    for (size_t at = 0; at < 140; ++at) {
        std::string bad(140, 'x'), good = bad;
        bad[at] = '\xE9';
        good.replace(at, 1, "\xC3\xA9");
        ASSERT_EQ(parse(bad, VQPLP_FMT_STREAMING_LIST, nullptr), 0) << at;
        ASSERT_FALSE(warnings().empty()) << at;
        EXPECT_EQ(warnings()[0].rfind("encoding:", 0), 0u) << at;
        ASSERT_EQ(parse(good, VQPLP_FMT_STREAMING_LIST, nullptr), 0) << at;
        EXPECT_EQ(decoded(), good) << at;
        EXPECT_TRUE(warnings().empty() || warnings()[0].rfind("encoding:", 0) != 0) << at;
    }
}

// The code-page guess stops once one reading leads by more than 256 points:
// Western words up front then decide although more Chinese pairs follow.
TEST(ParserDecode, ALeadOver256DecidesTheCodePage) {
    std::string chinese;
    for (int i = 0; i < 600; ++i) chinese += " \xD6\xD0";  // two points each for GBK
    const struct {
        int words;  // one point each for CP1252
        const char *warning;
    } cases[] = {{255, "encoding: GBK fallback"},
                 {256, "encoding: GBK fallback"},
                 {257, "encoding: CP1252 fallback"},
                 {5000, "encoding: CP1252 fallback"}};
    for (const auto &c : cases) {
        std::string text;
        for (int i = 0; i < c.words; ++i) text += "x\xE9x ";
        ASSERT_EQ(parse(text + chinese, VQPLP_FMT_STREAMING_LIST), 0) << c.words;
        ASSERT_FALSE(warnings().empty());
        EXPECT_EQ(warnings()[0], c.warning) << c.words;
    }
}

namespace {

// A UTF-8 text in a single-byte code page, by the parser's own reading of
// each byte in that code page.
std::string encode(const std::string &utf8, const char *page) {
    std::map<std::string, char> byte_of;
    for (int b = 0x80; b <= 0xFF; ++b)
        if (parse(std::string(1, static_cast<char>(b)), VQPLP_FMT_STREAMING_LIST, page) == 0)
            byte_of[decoded()] = static_cast<char>(b);
    std::string out;
    for (size_t i = 0, n = 1; i < utf8.size(); i += n) {
        n = vq_utf8_lead_len(static_cast<unsigned char>(utf8[i]));
        out += n == 1 ? utf8.substr(i, 1) : std::string(1, byte_of.at(utf8.substr(i, n)));
    }
    return out;
}

}  // namespace

// Names saved in a legacy code page read in the one they read most plausibly
// in; one telling letter is too little to leave CP1252.
TEST(ParserDecode, LegacyCodePageByLikelihood) {
    const std::tuple<const char *, std::vector<std::string>, const char *> cases[] = {  // saved in, names, read as
        {"CP1251", {"Маяк", "Северный Флот", "Радио России"}, "CP1251"}, {"CP1251", {"Маяк"}, "CP1251"},
        {"CP1251", {"Україна 24", "Київ", "Перший"}, "CP1251"}, {"CP1251", {"РТС", "Прва", "Јединство"}, "CP1251"},
        {"CP1251", {"Хузур ТВ"}, "CP1251"},  // five letters: no GBK reading
        {"KOI8-R", {"Первый канал", "Россия 1"}, "KOI8-R"}, {"KOI8-R", {"Маяк", "Радио России"}, "KOI8-R"},
        {"CP1253", {"ΕΡΤ Ειδήσεις", "Βουλή Τηλεόραση", "Κρήτη TV"}, "CP1253"},
        {"CP1253", {"ΣΚΑΪ", "Alpha Κύπρου", "Ωμέγα"}, "CP1253"},
        {"CP1254", {"Şimdi Haber Kanalı", "Sözcü TV", "Habertürk"}, "CP1254"},
        {"CP1254", {"Şimdi Haber Kanalı"}, "CP1254"},
        {"CP1255", {"כאן 11", "חדשות 12", "ערוץ הכנסת"}, "CP1255"},
        {"CP1255", {"ערוץ 14", "i24 חדשות"}, "CP1255"},
        {"CP1256", {"الجزيرة", "سكاي نيوز عربية", "Télé Liban"}, "CP1256"},
        {"CP1256", {"Télé Maroc", "الأولى"}, "CP1256"},
        {"CP1250", {"Česká televize", "ČT24", "Óčko"}, "CP1250"},
        {"CP1250", {"Telewizja Łódź", "Wiadomości"}, "CP1250"},
        {"CP1250", {"Markíza", "JOJ Šport", "Ťažké časy"}, "CP1250"},  // a byte CP1252 lacks
        {"CP1250", {"Ştirile Pro TV", "Televiziunea Română"}, "CP1250"},
        {"CP1250", {"M1 Híradó", "Első Magyar"}, "CP1252"},
        {"CP1252", {"Télévision Française", "Canal Açores", "Österreich Eins"}, "CP1252"},
        {"CP1252", {"TV 2 Østjylland", "Sjónvarp Símans", "Rai Più"}, "CP1252"},
        {"CP1252", {"Þjóðvarpið", "RÚV 2"}, "CP1252"},
        {"CP1252", {"Suvarna News 24×7", "Zee 24×7", "Aaj Tak 24×7"}, "CP1252"},
    };
    for (const auto &[page, names, read_as] : cases) {
        SCOPED_TRACE(names[0] + " in " + page);
        std::string text = "#EXTM3U\n";
        for (const std::string &name : names) text += "#EXTINF:-1," + name + "\nhttp://a/\n";
        std::string bytes = encode(text, page);
        ASSERT_EQ(parse(bytes, VQPLP_FMT_AUTO, read_as), 0);
        std::string want = decoded();
        ASSERT_EQ(parse(bytes), 0);
        EXPECT_EQ(decoded(), want);
        EXPECT_EQ(warnings()[0], std::string("encoding: ") + read_as + " fallback");
    }
}

// Only the first 4,096 bytes from 0x80 up are looked at: a Cyrillic name
// after that many lone symbols is not seen.
TEST(ParserDecode, TheGuessLooksAt4096BytesFrom0x80) {
    for (size_t symbols : {4095, 4096, 4097, 1 << 20}) {
        std::string text;
        for (size_t i = 0; i < symbols; ++i) text += "\xA9 ";
        ASSERT_EQ(parse(text + encode("Маяк", "CP1251"), VQPLP_FMT_STREAMING_LIST), 0) << symbols;
        EXPECT_EQ(warnings()[0], symbols < 4096 ? "encoding: CP1251 fallback" : "encoding: CP1252 fallback") << symbols;
    }
}

TEST(ParserDecode, FailuresSetTheErrorAndKeepNoText) {
    const struct {
        std::string input;
        const char *charset;
        const char *error;
    } cases[] = {
        {"abc", "NO-SUCH-CHARSET-42", "iconv NO-SUCH-CHARSET-42 fail"},
        {"\xFF", "utf-16be", "iconv UTF-16BE fail"},
        {"\x81", "GBK", "iconv GBK fail"},
        {"a\x98", "CP1251", "iconv CP1251 fail"},
        {"\xFF\xFE"
         "a",
         nullptr, "utf16le fail"},
        {"\xFE\xFF"
         "a",
         nullptr, "utf16be fail"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(parse(c.input, VQPLP_FMT_AUTO, c.charset), VQPLP_E_DECODE) << c.error;
        EXPECT_STREQ(vqplp_last_error(), c.error);
        EXPECT_EQ(vqplp_decoded_text(), nullptr);
        EXPECT_EQ(vqplp_detected_format(), 0);
    }
}

// The names a caller may give: the parser's own (any case), the converter's,
// and none of the others.
TEST(ParserDecode, CharsetNamesKnownAreTheOnesTheParseReads) {
    const struct {
        const char *name;
        bool known;
    } cases[] = {
        {"utf8", true},  {"UTF-8", true},       {"Latin1", true},  {"utf16le", true},        {"gb18030", true},
        {"cp1252", true}, {"ISO-8859-2", true}, {"", false},       {"NO-SUCH-CHARSET-42", false}, {nullptr, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(vqplp_charset_name_known(c.name), c.known) << (c.name ? c.name : "null");
        if (!c.name || !*c.name) continue;  // no name: the automatic reading
        EXPECT_EQ(parse("ab", VQPLP_FMT_AUTO, c.name) != VQPLP_E_DECODE, c.known) << c.name;
    }
}

// A UTF-16 playlist with a byte-order mark reads exactly like its UTF-8 twin.
TEST(ParserDecode, Utf16PlaylistParsesLikeUtf8) {
    const std::u16string text =
        u"#EXTM3U\r\n#EXTINF:-1 tvg-id=\"a.b\" group-title=\"Nouvelles\",Cha\u00eene 1\r\n"
        u"http://example.com/1.m3u8\r\n";
    const std::string utf8 =
        "#EXTM3U\r\n#EXTINF:-1 tvg-id=\"a.b\" group-title=\"Nouvelles\",Cha\xC3\xAEne 1\r\n"
        "http://example.com/1.m3u8\r\n";
    ASSERT_EQ(parse(utf8), 0);
    std::string want = vqplp_result_json();
    for (bool little : {true, false}) {
        SCOPED_TRACE(little ? "LE" : "BE");
        ASSERT_EQ(parse(utf16(text, little, true)), 0);
        EXPECT_EQ(vqplp_detected_format(), VQPLP_FMT_M3U);
        EXPECT_EQ(decoded(), utf8);
        EXPECT_EQ(vqplp_result_json(), want);
    }
}

TEST(ParserDecode, DetectionAlone) {
    vqplp_clear();
    EXPECT_EQ(vqplp_detect(nullptr, 3), VQPLP_FMT_UNKNOWN);
    EXPECT_EQ(vqplp_detect("", 0), VQPLP_FMT_UNKNOWN);
    EXPECT_EQ(decoded(), "");
    std::string gbk_m3u = "#EXTM3U\n#EXTINF:-1,\xD6\xD0\xCE\xC4\nhttp://a/\n";
    EXPECT_EQ(vqplp_detect(gbk_m3u.data(), gbk_m3u.size()), VQPLP_FMT_M3U);
    EXPECT_EQ(vqplp_warning_count(), 1);
    EXPECT_EQ(vqplp_detect("\xFF\xFE"
                           "a",
                           3),
              VQPLP_FMT_UNKNOWN);
    EXPECT_STREQ(vqplp_last_error(), "utf16le fail");
    std::string le = utf16(u"#EXTM3U\n", true, true);
    EXPECT_EQ(vqplp_detect(le.data(), le.size()), VQPLP_FMT_M3U);
    EXPECT_EQ(vqplp_item_count(), 0);
}

// Bytes read where they lie read exactly like the same bytes copied, whether
// they are kept as the decoded text or decoded into a text of the engine's;
// nothing is read past their end.
TEST(ParserDecode, BorrowedBytesReadLikeCopiedOnes) {
    const std::string inputs[] = {
        "#EXTM3U\n#EXTINF:-1,One\nhttp://a/1",
        "\xEF\xBB\xBF#EXTM3U\n#EXTINF:-1,Caf\xC3\xA9\nhttp://a/1\n",
        "#EXTM3U\n#EXTINF:-1,\xE9t\xE9\nhttp://a/1\n",
        utf16(u"#EXTM3U\n#EXTINF:-1,x\nhttp://a/1\n", true, true),
        std::string("#EXTM3U\n\0http://a/1\n", 20),
        "",
    };
    for (const std::string &in : inputs) {
        ASSERT_EQ(parse(in), in.empty() ? VQPLP_E_FORMAT : 0);
        std::string text = decoded(), json = vqplp_result_json();
        std::vector<char> exact(in.begin(), in.end());  // no NUL after the bytes
        EXPECT_EQ(vqplp_parse_borrowed(exact.data(), exact.size(), VQPLP_FMT_AUTO), in.empty() ? VQPLP_E_FORMAT : 0);
        EXPECT_EQ(decoded(), text);
        EXPECT_EQ(std::string(vqplp_result_json()), json);
    }
    EXPECT_EQ(vqplp_parse_borrowed(nullptr, 0, VQPLP_FMT_M3U), VQPLP_E_FORMAT);
    vqplp_clear();
}
