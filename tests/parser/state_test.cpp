// Parser state, accessors and the limits on warnings and texts.
#include <gtest/gtest.h>

#include <string>

#include "parser_test_util.h"

using namespace ptest;

TEST(ParserState, FreshStateIsEmpty) {
    vqplp_clear();
    EXPECT_EQ(vqplp_item_count(), 0);
    EXPECT_STREQ(vqplp_last_error(), "");
    EXPECT_EQ(vqplp_detected_format(), 0);
    EXPECT_EQ(vqplp_warning_count(), 0);
    EXPECT_EQ(vqplp_cue_track_count(), 0);
    EXPECT_EQ(vqplp_decoded_text(), nullptr);
}

TEST(ParserState, FormatNames) {
    const std::pair<int32_t, const char *> table[] = {
        {-1, "auto"}, {0, "m3u"}, {1, "m3u8-hls"}, {2, "streaming-list"}, {3, "cue"}, {4, "unknown"}, {-2, "unknown"},
    };
    for (auto [code, name] : table) EXPECT_STREQ(vqplp_format_name(code), name) << code;
}

TEST(ParserState, AccessorsRejectBadIndexes) {
    ASSERT_EQ(parse("#EXTM3U\n#EXTINF:5 tvg-id=\"x\",T\nhttp://a/\n"), 0);
    int n = vqplp_item_count();
    ASSERT_EQ(n, 1);
    for (int i : {-1, n}) {
        EXPECT_EQ(vqplp_item_location(i), nullptr);
        EXPECT_EQ(vqplp_item_title(i), nullptr);
        EXPECT_EQ(vqplp_item_duration_ms(i), 0);
        EXPECT_EQ(vqplp_item_release_date(i), 0);
        EXPECT_EQ(vqplp_item_attr(i, "tvg-id"), nullptr);
        EXPECT_EQ(vqplp_item_attr_count(i), 0);
        EXPECT_EQ(vqplp_warning(i), nullptr);
    }
    EXPECT_EQ(vqplp_item_attr(0, nullptr), nullptr);
    EXPECT_EQ(vqplp_item_attr_key(0, -1), nullptr);
    EXPECT_EQ(vqplp_item_attr_key(0, 1), nullptr);
    EXPECT_STREQ(vqplp_item_attr_key(0, 0), "tvg-id");
    EXPECT_EQ(vqplp_item_attr_value(0, -1), nullptr);
    EXPECT_EQ(vqplp_item_attr_value(0, 1), nullptr);
    EXPECT_EQ(vqplp_item_attr_value(-1, 0), nullptr);
    EXPECT_STREQ(vqplp_item_attr_value(0, 0), "x");
    EXPECT_EQ(vqplp_cue_track_number(0), -1);
    EXPECT_EQ(vqplp_cue_track_index_number(0, 0), -1);
    EXPECT_EQ(vqplp_cue_track_index_frames(-1, 0), -1);
    EXPECT_EQ(vqplp_cue_track_index_ms(0, 0), -1);
    EXPECT_EQ(vqplp_cue_track_index_count(0), 0);
    EXPECT_EQ(vqplp_cue_track_field(0, "TITLE"), nullptr);
    EXPECT_EQ(vqplp_cue_meta(nullptr), nullptr);
    EXPECT_EQ(vqplp_cue_meta("TITLE"), nullptr);
}

TEST(ParserState, AttrLookupIgnoresCaseAndTakesFirstDuplicate) {
    ASSERT_EQ(parse("#EXTM3U\n#EXTINF:-1 tvg-id=\"one\" TVG-ID=\"two\",T\nhttp://a/\n"), 0);
    EXPECT_STREQ(vqplp_item_attr(0, "TVG-ID"), "one");
    EXPECT_STREQ(vqplp_item_attr(0, "tvg-id"), "one");
    EXPECT_EQ(vqplp_item_attr(0, "tvg-i"), nullptr);
    EXPECT_EQ(vqplp_item_attr_count(0), 2);
    EXPECT_STREQ(vqplp_item_attr_key(0, 1), "TVG-ID");
    EXPECT_STREQ(vqplp_item_attr_value(0, 1), "two");
}

TEST(ParserState, ClearDropsEverything) {
    ASSERT_EQ(parse("#EXTM3U\n# comment\nhttp://a/\n"), 0);
    ASSERT_GT(vqplp_warning_count(), 0);
    ASSERT_NE(vqplp_result_json(), nullptr);
    vqplp_clear();
    EXPECT_EQ(vqplp_item_count(), 0);
    EXPECT_EQ(vqplp_warning_count(), 0);
    EXPECT_EQ(vqplp_item_location(0), nullptr);
    EXPECT_EQ(vqplp_warning(0), nullptr);
    EXPECT_STREQ(vqplp_last_error(), "");
    EXPECT_EQ(vqplp_decoded_text(), nullptr);
    EXPECT_EQ(vqplp_decoded_len(), 0u);
}

TEST(ParserState, WarningsStopAt512) {
    std::string text = "#EXTM3U\n";
    for (int i = 0; i < 513; ++i) text += "# note\n";
    ASSERT_EQ(parse(text), 0);
    EXPECT_EQ(vqplp_warning_count(), 512);
    EXPECT_STREQ(vqplp_warning(511), "m3u: unknown tag");
    EXPECT_EQ(vqplp_warning(512), nullptr);
}

TEST(ParserState, LongWarningAndErrorTextsAreCutTo511Bytes) {
    std::string garbage(600, 'x');
    ASSERT_EQ(parse("FILE \"a.wav\" WAVE\nTRACK 1 AUDIO\nINDEX 01 00:00:00\n" + garbage + "\n"), 0);
    ASSERT_EQ(vqplp_warning_count(), 1);
    EXPECT_EQ(std::string(vqplp_warning(0)), ("cue: garbage: " + garbage).substr(0, 511));

    std::string name(600, 'Q');
    EXPECT_EQ(parse("abc", VQPLP_FMT_AUTO, name.c_str()), VQPLP_E_DECODE);
    EXPECT_EQ(std::string(vqplp_last_error()), ("iconv " + name + " fail").substr(0, 511));
}

// The cut never splits a character: the text would no longer be UTF-8, and
// the result document that quotes it could not be written.
TEST(ParserState, ACutTextEndsWithAWholeCharacter) {
    const std::string prefix = "cue: garbage: ";
    struct Case {
        const char *character;
        size_t at, length, kept;  // where it starts in the warning, the warning's length, what is kept
    } const table[] = {
        {"\xD0\x96", 508, 510, 510},          // shorter than the cap
        {"\xD0\x96", 509, 511, 511},          // ends at the cap
        {"\xD0\x96", 510, 512, 510},          // one byte over it
        {"\xF0\x9F\x98\x80", 508, 600, 508},  // far over, its last byte the 512th
        {"\xE2\x82\xAC", 509, 600, 509},      // far over, one byte of it kept
    };
    for (const Case &c : table) {
        std::string line = std::string(c.at - prefix.size(), 'x') + c.character;
        line.append(c.length - prefix.size() - line.size(), 'z');
        ASSERT_EQ(parse("FILE \"a.wav\" WAVE\nTRACK 1 AUDIO\nINDEX 01 00:00:00\n" + line + "\n"), 0);
        ASSERT_EQ(vqplp_warning_count(), 1);
        EXPECT_EQ(std::string(vqplp_warning(0)), (prefix + line).substr(0, c.kept)) << c.at << " " << c.length;
        EXPECT_STRNE(vqplp_result_json(), "{}") << c.at << " " << c.length;
    }
}

// Borrowed texts stay valid through any number of reads, the rendering
// included; the next parse replaces them.
TEST(ParserState, ResultSurvivesUntilNextParse) {
    ASSERT_EQ(parse("#EXTM3U\nhttp://a/\nhttp://b/\n"), 0);
    const char *loc = vqplp_item_location(1);
    const char *title = vqplp_item_title(0);
    EXPECT_EQ(vqplp_item_count(), 2);
    EXPECT_STREQ(vqplp_item_location(0), "http://a/");
    EXPECT_NE(vqplp_result_json(), nullptr);
    EXPECT_NE(vqplp_result_json(), nullptr);
    EXPECT_EQ(vqplp_warning_count(), 2);
    EXPECT_STREQ(loc, "http://b/");
    EXPECT_STREQ(title, "");
    EXPECT_EQ(parse("#EXTM3U\nhttp://c/\n"), 0);
    EXPECT_EQ(vqplp_item_count(), 1);
    EXPECT_STREQ(vqplp_item_location(0), "http://c/");
}
