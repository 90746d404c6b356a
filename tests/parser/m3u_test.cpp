// The M3U and extended-M3U parser.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "parser_test_util.h"

using namespace ptest;

namespace {

int parse_m3u(const std::string &body) { return parse("#EXTM3U\n" + body, VQPLP_FMT_M3U); }

using Attrs = std::vector<std::pair<std::string, std::string>>;

Attrs attrs(int i) {
    Attrs out;
    for (int a = 0; a < vqplp_item_attr_count(i); ++a) {
        const char *k = vqplp_item_attr_key(i, a);
        out.emplace_back(k, vqplp_item_attr(i, k));
    }
    return out;
}

}  // namespace

TEST(ParserM3u, ExtinfWithAttributes) {
    ASSERT_EQ(parse_m3u("#EXTINF:-1 tvg-id=\"a.b\" group-title=\"News\",Channel One\nhttp://a/1\n"), 0);
    ASSERT_EQ(vqplp_item_count(), 1);
    EXPECT_STREQ(vqplp_item_title(0), "Channel One");
    EXPECT_STREQ(vqplp_item_location(0), "http://a/1");
    EXPECT_EQ(vqplp_item_duration_ms(0), -1);
    EXPECT_EQ(attrs(0), (Attrs{{"tvg-id", "a.b"}, {"group-title", "News"}}));
    EXPECT_EQ(vqplp_warning_count(), 0);
    EXPECT_EQ(vqplp_detected_format(), VQPLP_FMT_M3U);
}

// Title, duration and attributes read from one #EXTINF line.
TEST(ParserM3u, ExtinfLines) {
    const struct {
        const char *line;
        const char *title;
        int32_t ms;
        Attrs attrs;
    } cases[] = {
        {"#EXTINF:10.5,Ten", "Ten", 10000, {}},
        {"#EXTINF:-1,Title, with comma", "with comma", -1, {}},
        {"#EXTINF:-1 tvg-name=\"A, B\" x=1,T", "T", -1, {{"tvg-name", "A, B"}, {"x", "1"}}},
        {"#EXTINF:12345678901,Long", "Long", 123456789, {}},
        {"#EXTINF:3000000,Big", "Big", 3000000, {}},
        {"#EXTINF:2147483,Edge", "Edge", 2147483000, {}},
        {"#EXTINF:-0,Zero", "Zero", 0, {}},
        {"#EXTINF:-,Minus", "Minus", -1, {}},
        {"#EXTINF:", "", -1, {}},
        {"#EXTINF:  7   ", "", 7000, {}},
        {"#extinf:5 a=1 b= c=\"q\"d=2 lone,T", "T", 5000, {{"a", "1"}, {"b", ""}, {"c", "q"}, {"d", "2"}}},
        {"#EXTINF:1 =x k v=1 w=2,T", "T", 1000, {{"v", "1"}, {"w", "2"}}},
        {"#EXTINF:1 k=\"open, no close", "", 1000, {{"k", "open, no close"}}},
        {"#EXTINF:1 trailing", "", 1000, {}},
        {"#EXTINF:1 end=", "", 1000, {{"end", ""}}},
        {"#EXTINF:1 a=\"x\" , spaced title ", "spaced title", 1000, {{"a", "x"}}},
        // spaces around "=" before a quoted value
        {"#EXTINF: -1 tvg-id = \"x\" group-title = \"News\",Name", "Name", -1,
         {{"tvg-id", "x"}, {"group-title", "News"}}},
        {"#EXTINF:1 a =\"x\" b=\t\"y\" c = z d= w,T", "T", 1000, {{"a", "x"}, {"b", "y"}, {"d", ""}}},
        // a stray comma before the keys: they are still keys
        {"#EXTINF:-1,tvg-id=\"CCTV1\" group-title=\"CCTV\",CCTV1", "CCTV1", -1,
         {{"tvg-id", "CCTV1"}, {"group-title", "CCTV"}}},
        // keys are scanned eight bytes at a time: ends inside and past a word,
        // a control byte that belongs to the key, a tab that ends one
        {"#EXTINF:1 tvg-language=\"x\" group-title-long=y a\x01\x1f-key-b=2,T", "T", 1000,
         {{"tvg-language", "x"}, {"group-title-long", "y"}, {"a\x01\x1f-key-b", "2"}}},
        {"#EXTINF:1 abcdefgh\t=1 abcdefghi=2 seven_k=3,T", "T", 1000, {{"abcdefghi", "2"}, {"seven_k", "3"}}},
        // the only quote after x's lies past the title comma: it closes nothing
        {"#EXTINF:1 k=a\"b x=\"c,d\" ,T", "d\" ,T", 1000, {{"k", "a\"b"}, {"x", "c"}}},
        // "#EXTINF" in any case and after it any byte is the tag; one letter short or off is not
        {"#ExTiNf:2,T", "T", 2000, {}}, {"#EXTINFO:2,T", "T", 2000, {}},
        {"#EXTIN:2,T", "", -1, {}}, {"#EXTINX:2,T", "", -1, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_EQ(parse_m3u(std::string(c.line) + "\nhttp://a/\n"), 0);
        ASSERT_EQ(vqplp_item_count(), 1);
        EXPECT_STREQ(vqplp_item_title(0), c.title);
        EXPECT_EQ(vqplp_item_duration_ms(0), c.ms);
        EXPECT_EQ(attrs(0), c.attrs);
    }
}

// The last comma is looked for eight bytes a step from the end of the line:
// found at any offset, and never one inside the quotes.
TEST(ParserM3u, TheTitleCommaIsFoundAtAnyOffset) {
    for (size_t at = 0; at <= 24; ++at) {
        std::string title(24 - at, 'u');
        ASSERT_EQ(parse_m3u("#EXTINF:-1 a=\"1,2\"," + std::string(at, 't') + ",,," + title + "\nhttp://a/\n"), 0);
        EXPECT_EQ(vqplp_item_title(0), title) << at;
        EXPECT_EQ(attrs(0), (Attrs{{"a", "1,2"}})) << at;
    }
}

TEST(ParserM3u, SecondExtinfReplacesFirst) {
    ASSERT_EQ(parse_m3u("#EXTINF:1 a=1,First\n#EXTINF:2 b=2,Second\nhttp://a/\n"), 0);
    ASSERT_EQ(vqplp_item_count(), 1);
    EXPECT_STREQ(vqplp_item_title(0), "Second");
    EXPECT_EQ(vqplp_item_duration_ms(0), 2000);
    EXPECT_EQ(attrs(0), (Attrs{{"b", "2"}}));
    EXPECT_EQ(vqplp_warning_count(), 0);
}

// An "#EXTGRP:" line before an entry's location belongs to that entry, on
// either side of its "#EXTINF" or with none; a group-title attribute wins.
TEST(ParserM3u, GroupsFromExtgrp) {
    ASSERT_EQ(parse_m3u("#EXTGRP: Sports \n#EXTINF:-1,A\nhttp://a/\n"
                        "#EXTGRP:Movies\n#EXTINF:-1 group-title=\"Own\",B\nhttp://b/\n"
                        "#EXTINF:-1,C\n#EXTGRP:News\nhttp://c/\n#EXTINF:-1,D\nhttp://d/\n"
                        "#EXTINF:-1 group-title=\"Own\",E\n#EXTGRP:Kids\nhttp://e/\n"
                        "#EXTGRP:Early\n#EXTINF:-1,F\n#EXTGRP:Near\nhttp://f/\n"
                        "#EXTGRP:Bare\nhttp://g/\n#EXTINF:-1,H\nhttp://h/\n"),
              0);
    ASSERT_EQ(vqplp_item_count(), 8);
    EXPECT_STREQ(vqplp_item_attr(0, "group-title"), "Sports");
    EXPECT_EQ(attrs(1), (Attrs{{"group-title", "Own"}}));
    EXPECT_STREQ(vqplp_item_attr(2, "group-title"), "News");
    EXPECT_EQ(vqplp_item_attr(3, "group-title"), nullptr);
    EXPECT_EQ(attrs(4), (Attrs{{"group-title", "Own"}}));
    EXPECT_STREQ(vqplp_item_attr(5, "group-title"), "Near");
    EXPECT_EQ(attrs(6), (Attrs{{"group-title", "Bare"}}));
    EXPECT_EQ(vqplp_item_attr_count(7), 0);
}

TEST(ParserM3u, AttributeLimit) {
    std::string line = "#EXTINF:-1";
    for (int i = 0; i < 70; ++i) line += " k" + std::to_string(i) + "=\"v" + std::to_string(i) + "\"";
    ASSERT_EQ(parse_m3u("#EXTGRP:G\n" + line + ",T\nhttp://a/\n"), 0);
    ASSERT_EQ(vqplp_item_attr_count(0), 64);
    EXPECT_STREQ(vqplp_item_attr_key(0, 63), "k63");
    EXPECT_STREQ(vqplp_item_attr(0, "k63"), "v63");
    EXPECT_EQ(vqplp_item_attr(0, "group-title"), nullptr);  // no room left for the group
    EXPECT_STREQ(vqplp_item_title(0), "T");
}

TEST(ParserM3u, WarningsAndBarePaths) {
    ASSERT_EQ(parse("\n#extm3u url-tvg=\"http://g/\"\r\n#EXTM3U\r# comment\r\n#EXT-X-VERSION:3\n#EXTVLCOPT:x=1\n"
                    "#EXTHTTP:{}\n#KODIPROP:k=v\n#PLAYLIST:p\n#EXTIMG:i\n#EXTINF no colon\nhttp://a/\n\tpath/b.ts\n"
                    "#EXTINF:-1,dangling\n",
                    VQPLP_FMT_M3U),
              0);
    EXPECT_EQ(warnings(),
              (std::vector<std::string>{"m3u: unknown tag", "m3u: unknown tag", "m3u: ignored tag", "m3u: ignored tag",
                                        "m3u: ignored tag", "m3u: ignored tag", "m3u: ignored tag", "m3u: ignored tag",
                                        "m3u: invalid EXTINF", "m3u: location trimmed", "m3u: bare path accepted"}));
    ASSERT_EQ(vqplp_item_count(), 2);
    EXPECT_STREQ(vqplp_item_title(0), "");
    EXPECT_EQ(vqplp_item_duration_ms(0), -1);
    EXPECT_STREQ(vqplp_item_location(1), "path/b.ts");
    EXPECT_EQ(vqplp_item_attr_count(1), 0);
}

TEST(ParserM3u, LineEndsMayMix) {
    ASSERT_EQ(parse("#EXTM3U\r#EXTINF:1,A\r\nhttp://a/\nhttp://b/\rhttp://c/\n\rhttp://d/", VQPLP_FMT_M3U), 0);
    ASSERT_EQ(vqplp_item_count(), 4);
    EXPECT_STREQ(vqplp_item_title(0), "A");
    EXPECT_STREQ(vqplp_item_location(3), "http://d/");
}

TEST(ParserM3u, NulEndsTheLine) {
    static const char text[] = "#EXTM3U\nhttp://a/\0junk\nhttp://b/\n";
    ASSERT_EQ(parse(std::string(text, sizeof text - 1), VQPLP_FMT_M3U), 0);
    ASSERT_EQ(vqplp_item_count(), 2);
    EXPECT_STREQ(vqplp_item_location(0), "http://a/");
}

TEST(ParserM3u, MissingHeader) {
    for (const char *text : {"http://a/\nhello\n", "   \n\t\n", "#EXTM3", "# EXTINF:-1,A\nhttp://a/\n"}) {
        EXPECT_EQ(parse(text, VQPLP_FMT_M3U), VQPLP_E_FORMAT) << text;
        EXPECT_STREQ(vqplp_last_error(), "Not a valid M3U file. Missing header.");
        EXPECT_EQ(vqplp_item_count(), 0);
    }
}

// Lists whose header comes late, is misspelt or is missing are read from the
// header, else from the first entry tag; what comes before is passed over.
TEST(ParserM3u, HeaderNotOnTheFirstLine) {
    const struct {
        const char *text;
        int32_t format;
        const char *warning;
        int32_t items;
    } cases[] = {
        {"# Playlist by someone\n\n#EXTM3U\n#EXTINF:-1,A\nhttp://a/\n", -1, "m3u: late header on line 3", 1},
        {"/#EXTM3U\n#EXTINF:-1,A\nhttp://a/\n", -1, "m3u: misspelt header on line 1", 1},
        {"=====\r\nMy TV\r\n#EXTINF:-1,A\r\nhttp://a/\r\n", -1, "m3u: missing header, entries from line 3", 1},
        {"banner\n#EXTVLCOPT:http-user-agent=x\n#EXTINF:-1,A\nhttp://a/\n#EXTM3U\n", -1,
         "m3u: missing header, entries from line 2", 1},
        // detection alone would call this a plain list (no "#EXTINF")
        {"http://lost/\n#EXTM3U\n", VQPLP_FMT_M3U, "m3u: late header on line 2", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_EQ(parse(c.text, c.format), 0);
        EXPECT_EQ(vqplp_detected_format(), VQPLP_FMT_M3U);
        ASSERT_FALSE(warnings().empty());
        EXPECT_EQ(warnings()[0], c.warning);
        EXPECT_EQ(vqplp_item_count(), c.items);
        if (c.items) {
            EXPECT_STREQ(vqplp_item_title(0), "A");
        }
    }
}

TEST(ParserM3u, ImdbDatePlaylists) {
    const std::string dated = "#EXTINF:20240115,tt0111161\nhttp://a/\n#EXTINF:19990101,tt0133093\nhttp://b/\n";
    ASSERT_EQ(parse_m3u(dated), 0);
    EXPECT_EQ(vqplp_m3u_is_imdb_date_playlist(), 1);
    EXPECT_EQ(vqplp_item_release_date(0), 20240115);
    EXPECT_EQ(vqplp_item_release_date(1), 19990101);
    EXPECT_EQ(vqplp_item_duration_ms(0), 20240115);
    for (const char *odd : {"#EXTINF:20240115,TT1\nhttp://c/\n", "#EXTINF:-1,tt1\nhttp://c/\n", "http://c/\n"}) {
        ASSERT_EQ(parse_m3u(dated + odd), 0);
        EXPECT_EQ(vqplp_m3u_is_imdb_date_playlist(), 0) << odd;
        EXPECT_EQ(vqplp_item_release_date(0), 0);
    }
    ASSERT_EQ(parse_m3u(""), 0);
    EXPECT_EQ(vqplp_m3u_is_imdb_date_playlist(), 0);
}

TEST(ParserM3u, LongLines) {
    const std::string url = "http://example.com/" + std::string(2200, 'u');
    const std::string header = "#EXTM3U x-tvg-url=\"" + std::string(6000, 'g') + "\"\n";
    ASSERT_EQ(parse(header + "#EXTINF:-1 tvg-logo=\"" + url + "\",T\n" + url + "\n"), 0);
    EXPECT_EQ(vqplp_item_location(0), url);
    EXPECT_EQ(vqplp_item_attr(0, "tvg-logo"), url);
}

// The UTF-8 check that also looks for a NUL reads ASCII many bytes a step: a
// NUL at any offset of a long line still ends that line's content (here
// before the title's comma).
TEST(ParserM3u, ANulAnywhereInALongLineEndsItsContent) {
    const std::string head = "#EXTINF:-1 tvg-name=\"", tail = "\",T\nhttp://a/\n";
    for (size_t at = 0; at < 80; ++at) {
        std::string pad(80, 'x');
        pad[at] = '\0';
        ASSERT_EQ(parse_m3u(head + pad + tail), 0) << at;
        ASSERT_EQ(vqplp_item_count(), 1) << at;
        EXPECT_STREQ(vqplp_item_title(0), "") << at;
    }
    ASSERT_EQ(parse_m3u(head + std::string(80, 'x') + tail), 0);
    EXPECT_STREQ(vqplp_item_title(0), "T");
}

namespace {

int log_entry(void *ctx, const vqplp_entry &e) {
    std::string &log = *static_cast<std::string *>(ctx);
    log.append("entry ").append(e.title);
    for (int32_t a = 0; a < e.attr_count; ++a) log.append(" ").append(e.attrs[a].key).append("=").append(e.attrs[a].value);
    log += '|';
    return 0;
}

int log_option(void *ctx, std::string_view text) {
    static_cast<std::string *>(ctx)->append("option ").append(text).append("|");
    return 0;
}

int log_tagged(void *ctx, vqplp_option_tag tag, std::string_view text) {
    static_cast<std::string *>(ctx)->append("tag" + std::to_string(tag) + " ").append(text).append("|");
    return tag == VQPLP_TAG_KODIPROP && text == "stop" ? 1 : 0;
}

}  // namespace

// Option lines reach the sink before their entry: #EXTVLCOPT alone through
// option, all three with their tag through tagged_option. The entry the sink
// gets carries its #EXTGRP group as the stored item does.
TEST(ParserM3u, OptionLinesReachTheSink) {
    const std::string text =
        "#EXTM3U\n#EXTINF:-1,A\n#EXTVLCOPT:http-user-agent=UA\n#EXTHTTP: {\"Cookie\":\"c=1\"} \n"
        "#kodiprop:inputstream.adaptive.stream_headers=Referer=http://r/\n#EXTGRP:News\nhttp://a/\n";
    const struct {
        vqplp_sink sink;
        const char *log;
    } cases[] = {
        {{log_entry, log_option, nullptr}, "option :http-user-agent=UA|entry A group-title=News|"},
        {{log_entry, log_option, nullptr, log_tagged},
         "tag0 http-user-agent=UA|tag1 {\"Cookie\":\"c=1\"}|tag2 inputstream.adaptive.stream_headers=Referer=http://r/|"
         "entry A group-title=News|"},
        {{log_entry, nullptr, nullptr}, "entry A group-title=News|"},
    };
    for (const auto &c : cases) {
        std::string log;
        vqplp_sink sink = c.sink;
        sink.ctx = &log;
        ASSERT_EQ(vqplp_parse_borrowed_each(text.data(), text.size(), sink), 0);
        EXPECT_EQ(log, c.log);
    }
    const std::string stop = "#EXTM3U\n#KODIPROP:stop\nhttp://a/\n";
    std::string log;
    EXPECT_EQ(vqplp_parse_borrowed_each(stop.data(), stop.size(), vqplp_sink{log_entry, nullptr, &log, log_tagged}),
              VQPLP_E_NOMEM);
    EXPECT_EQ(log, "tag2 stop|");
}
