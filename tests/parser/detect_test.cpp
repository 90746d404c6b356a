// Format detection, parse dispatch, the streaming-list parser and file input.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "parser_test_util.h"

using namespace ptest;

TEST(ParserDetect, SniffsFormats) {
    const std::string pad(70000, 'x');
    const struct {
        const char *what;
        std::string text;
        int32_t format;
    } cases[] = {
        {"blank line and spaces before header", "\n  #EXTM3U\nhttp://a/\n", 0},
        {"header in lower case", "#extm3u\nhttp://a/\n", 2},
        {"form feed stops the skip", "\f#EXTM3U\nhttp://a/\n", 2},
        {"hls", "#EXTM3U\n#EXT-X-TARGETDURATION:10\nseg.ts\n", 1},
        {"hls stream-inf", "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\nlow.m3u8\n", 1},
        {"hls marker past 64 KiB", "#EXTM3U\n#" + pad + "\n#EXT-X-ENDLIST\n", 0},
        {"version tag alone is not hls", "#EXTM3U\n#EXT-X-VERSION:3\nhttp://a/\n", 0},
        {"version tag and segments", "#EXTM3U\n#EXT-X-VERSION:3\n#EXTINF:10.0,\nseg0.ts\n", 1},
        {"version tag in a channel list", "#EXTM3U\n#EXT-X-VERSION:3\n#EXTINF:-1,A\nhttp://a/\n", 0},
        {"version tag, entries with attributes", "#EXTM3U\n#EXT-X-VERSION:3\n#EXTINF:0 tvg-id=\"a\",A\nhttp://a/\n", 0},
        // lines pasted from a manifest into a channel list are skipped
        {"master lines among channels", "#EXTM3U\n#EXTINF:-1,A\nhttp://a/\n#EXT-X-STREAM-INF:BANDWIDTH=1\nb.m3u8\n", 0},
        {"hls tags among attributes", "#EXTM3U\n#EXTINF:0 tvg-id = \"a\",A\nhttp://a/\n#EXT-X-TARGETDURATION:9\n", 0},
        {"absolute locations, no target duration", "#EXTM3U\n#EXTINF:0,A\n#EXT-X-KEY:NONE\n\nrtmp://a/1\n", 0},
        {"segments at absolute locations", "#EXTM3U\n#EXT-X-TARGETDURATION:9\n#EXTINF:9.0,\nhttp://a/s.ts\n", 1},
        {"master playlist at absolute locations", "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\nhttp://a/low.m3u8\n", 1},
        {"segments after a comment", "#EXTM3U\n#EXT-X-MEDIA-SEQUENCE:1\n#EXTINF:10,\n# c\nseg.ts\n", 1},
        {"comment before header", "# by someone\n#EXTM3U\n#EXTINF:-1,A\nhttp://a/\n", 0},
        {"misspelt header", "/#EXTM3U\n#EXTINF:-1,A\nhttp://a/\n", 0},
        {"no header", "  #EXTINF:-1,A\nhttp://a/\n", 0},
        {"no header, hls", "#EXTINF:10.0,\nseg0.ts\n#EXT-X-ENDLIST\n", 1},
        {"late header, no entries", "# by someone\n#EXTM3U\nhttp://a/\n", 2},
        {"#EXTINF not at a line start", "News,http://a/#EXTINF:-1\n", 2},
        {"first #EXTINF past 64 KiB", pad + "\n#EXTINF:-1,A\nhttp://a/\n", 4},
        {"cue", "REM x\nFILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", 3},
        {"cue keywords in lower case", "file \"a.wav\" WAVE\ntrack 01 AUDIO\nindex 01 00:00:00\n", 4},
        {"cue beyond 8 KiB", std::string(9000, ' ') + "\nFILE \"a\" WAVE\nTRACK 1 AUDIO\nINDEX 01 00:00:00\n", 4},
        {"streaming", "News, HTTP://a/\n", 2},
        {"rtsp", "cam rtsp://a/\n", 2},
        {"url beyond 4 KiB", std::string(5000, 'y') + " http://a/\n", 4},
        {"nul hides the url", std::string("abc\0 http://a/", 14), 4},
        {"empty", "", 4},
        {"nothing known", "hello\n", 4},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(vqplp_detect(c.text.data(), c.text.size()), c.format) << c.what;
    }
}

// Without a header, entries are looked for in the first 64 KiB only: an
// "#EXTINF" that ends at byte 65536 is seen, one a byte later is not.
TEST(ParserDetect, EntriesWithoutHeaderAreLookedForIn64KiB) {
    const struct {
        size_t at;  // where the "#EXTINF" line begins
        int32_t format;
    } cases[] = {{65528, 0}, {65529, 0}, {65530, 4}, {1 << 20, 4}};
    for (const auto &c : cases) {
        std::string text = std::string(c.at - 1, 'x') + "\n#EXTINF:-1,A\nhttp://a/\n";
        EXPECT_EQ(vqplp_detect(text.data(), text.size()), c.format) << c.at;
    }
}

TEST(ParserDetect, DispatchResults) {
    const struct {
        std::string text;
        int32_t format_in;
        int32_t status, format_out;
        const char *error;
    } cases[] = {
        {"", -1, 3, 4, "unknown playlist format"},
        {"", 0, 3, 0, "Not a valid M3U file. Missing header."},
        {"", 2, 0, 2, ""},
        {"", 3, 0, 3, ""},
        {"#EXTM3U\n#EXT-X-TARGETDURATION:10\n", -1, 3, 1, "HLS manifest detected; not parsed as playlist items"},
        {"#EXTM3U\n#EXT-X-TARGETDURATION:10\n", 0, 3, 1, "HLS manifest detected; not parsed as playlist items"},
        {"http://a/\n", 1, 3, 1, "HLS manifest detected; not parsed as playlist items"},
        {"http://a/\n", 7, 3, 7, "unknown playlist format"},
        {"hello\n", 0, 3, 0, "Not a valid M3U file. Missing header."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text + " as " + std::to_string(c.format_in));
        EXPECT_EQ(parse(c.text, c.format_in), c.status);
        EXPECT_EQ(vqplp_detected_format(), c.format_out);
        EXPECT_STREQ(vqplp_last_error(), c.error);
        EXPECT_EQ(vqplp_item_count(), 0);
    }
    parse("http://a/\n", 7);
    EXPECT_STREQ(vqplp_format_name(vqplp_detected_format()), "unknown");
}

// The smallest list that was refused over a pasted master playlist line.
TEST(ParserDetect, ChannelsAroundPastedHlsLinesAreListed) {
    ASSERT_EQ(parse("#EXTM3U\n#EXTINF:-1,A\nhttp://a.example/1\n#EXTINF:-1,B\n#EXT-X-STREAM-INF:BANDWIDTH=1\n"
                    "http://a.example/2.m3u8\n"),
              0);
    ASSERT_EQ(vqplp_item_count(), 2);
    EXPECT_STREQ(vqplp_item_title(1), "B");
    EXPECT_STREQ(vqplp_item_location(1), "http://a.example/2.m3u8");
    EXPECT_EQ(warnings(), std::vector<std::string>{"m3u: ignored tag"});
}

TEST(ParserDetect, NullBytes) {
    EXPECT_EQ(vqplp_parse(nullptr, 0, VQPLP_FMT_STREAMING_LIST), 0);
    EXPECT_EQ(vqplp_decoded_len(), 0u);
    EXPECT_EQ(vqplp_parse(nullptr, 5, VQPLP_FMT_AUTO), VQPLP_E_ARG);
    EXPECT_STREQ(vqplp_last_error(), "null text");
}

TEST(ParserDetect, StreamingList) {
    const std::string text =
        "News,http://a/1\n"
        "News\xEF\xBC\x8Chttp://a/2\n"
        "http://a/3\n"
        ",http://a/4\n"
        "News,ftp://a/5\n"
        "Word HTTP://A/6\n"
        "  \t \n"
        "# comment\n"
        "\xE4\xB8\xAD,http://a/7\n";
    ASSERT_EQ(parse(text), 0);
    EXPECT_EQ(vqplp_detected_format(), VQPLP_FMT_STREAMING_LIST);
    const std::pair<const char *, const char *> want[] = {
        {"http://a/1", "News"},
        {"http://a/2", "News"},
        {"http://a/3", "http://a/3"},
        {"http://a/4", "http://a/4"},
        {"Word HTTP://A/6", "Word HTTP://A/6"},
        {"http://a/7", "\xE4\xB8\xAD"},
    };
    ASSERT_EQ(vqplp_item_count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_STREQ(vqplp_item_location(i), want[i].first);
        EXPECT_STREQ(vqplp_item_title(i), want[i].second);
        EXPECT_EQ(vqplp_item_duration_ms(i), -1);
        EXPECT_EQ(vqplp_item_attr_count(i), 0);
    }
    EXPECT_EQ(warnings(), std::vector<std::string>(2, "streaming: dropped non-http URL"));
}

TEST(ParserDetect, LowerCaseHeaderBecomesStreamingList) {
    ASSERT_EQ(parse("#extm3u\nhttp://a/\n"), 0);
    EXPECT_EQ(vqplp_detected_format(), VQPLP_FMT_STREAMING_LIST);
    ASSERT_EQ(vqplp_item_count(), 1);
    EXPECT_EQ(warnings(), std::vector<std::string>{"streaming: dropped non-http URL"});
}

TEST(ParserDetect, Files) {
    const std::string path = testing::TempDir() + "vqplp_file_test.m3u";
    std::ofstream(path, std::ios::binary) << "#EXTM3U\n#EXTINF:-1,One\nhttp://a/\n";
    ASSERT_EQ(vqplp_parse_file(path.c_str()), 0);
    EXPECT_STREQ(vqplp_item_title(0), "One");

    EXPECT_EQ(vqplp_parse_file_enc((testing::TempDir() + "no/such/file").c_str(), nullptr), VQPLP_E_IO);
    EXPECT_EQ(std::string(vqplp_last_error()).rfind("io: ", 0), 0u);
    EXPECT_GT(std::string(vqplp_last_error()).size(), 4u);
    EXPECT_STREQ(vqplp_item_title(0), "One");  // the previous result stays

    EXPECT_EQ(vqplp_parse_file(nullptr), VQPLP_E_ARG);
    EXPECT_STREQ(vqplp_last_error(), "null path");
    EXPECT_EQ(vqplp_item_count(), 1);

    std::ofstream(path, std::ios::binary) << "\xD6\xD0\xCE\xC4, http://a/\n";
    ASSERT_EQ(vqplp_parse_file_enc(path.c_str(), "gbk"), 0);
    EXPECT_STREQ(vqplp_item_title(0), "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(vqplp_warning_count(), 0);
    std::remove(path.c_str());
}
