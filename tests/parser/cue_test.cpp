// The CUE sheet parser.
#include <gtest/gtest.h>

#include <string>

#include "parser_test_util.h"

using namespace ptest;

TEST(ParserCue, TwoTrackSheet) {
    ASSERT_EQ(parse("PERFORMER \"The Band\"\nTITLE \"Live\"\nCATALOG 1234567890123\nFILE \"live set.wav\" WAVE\n"
                    "  TRACK 01 AUDIO\n    TITLE \"Opening\"\n    PERFORMER \"Solo\"\n    INDEX 01 00:00:00\n"
                    "  TRACK 02 AUDIO\n    INDEX 00 03:58:50\n    INDEX 01 04:00:00\n    CATALOG 99\n"),
              0);
    EXPECT_EQ(vqplp_detected_format(), VQPLP_FMT_CUE);
    EXPECT_EQ(vqplp_warning_count(), 0);
    EXPECT_STREQ(vqplp_cue_meta("title"), "Live");
    EXPECT_STREQ(vqplp_cue_meta("PERFORMER"), "The Band");
    EXPECT_STREQ(vqplp_cue_meta("CATALOG"), "1234567890123");
    EXPECT_EQ(vqplp_cue_meta("SONGWRITER"), nullptr);
    EXPECT_EQ(vqplp_cue_meta("OTHER"), nullptr);
    ASSERT_EQ(vqplp_cue_track_count(), 2);
    for (int t = 0; t < 2; ++t) {
        EXPECT_EQ(vqplp_cue_track_number(t), t + 1);
        EXPECT_EQ(vqplp_cue_track_field(t, "FILE"), std::string("live set.wav"));
        EXPECT_STREQ(vqplp_cue_track_field(t, "datatype"), "AUDIO");
        EXPECT_STREQ(vqplp_item_location(t), "live set.wav");
    }
    EXPECT_STREQ(vqplp_cue_track_field(0, "TITLE"), "Opening");
    EXPECT_STREQ(vqplp_cue_track_field(0, "PERFORMER"), "Solo");
    EXPECT_EQ(vqplp_cue_track_field(1, "TITLE"), nullptr);
    EXPECT_EQ(vqplp_cue_track_field(0, "NOPE"), nullptr);
    ASSERT_EQ(vqplp_item_count(), 2);
    EXPECT_STREQ(vqplp_item_title(0), "Opening");
    EXPECT_STREQ(vqplp_item_title(1), "");
    EXPECT_EQ(vqplp_item_duration_ms(0), -1);
    ASSERT_EQ(vqplp_cue_track_index_count(1), 2);
    EXPECT_EQ(vqplp_cue_track_index_number(1, 0), 0);
    EXPECT_EQ(vqplp_cue_track_index_frames(1, 0), 3 * 4500 + 58 * 75 + 50);
    EXPECT_EQ(vqplp_cue_track_index_number(1, 1), 1);
    EXPECT_EQ(vqplp_cue_track_index_ms(1, 1), 240000);
}

TEST(ParserCue, IndexTimes) {
    const struct {
        const char *line;
        int64_t frames;  // -1: no index stored
        int32_t ms;
        const char *warning;
    } cases[] = {
        {"INDEX 01 00:02:37", 187, 2493, nullptr},
        {"INDEX 01 01:02:03", 4653, 62040, nullptr},
        {"INDEX 01 00:75:80", 75 * 75 + 80, (75 * 75 + 80) * 1000 / 75, nullptr},
        {"INDEX 01 00:00:01   ", 1, 13, nullptr},
        {"INDEX 01", -1, -1, "cue: malformed INDEX time"},
        {"INDEX 01   ", -1, -1, "cue: malformed INDEX time"},
        {"INDEX x 00:00:00", -1, -1, "cue: malformed INDEX"},
        {"INDEX", -1, -1, "cue: malformed INDEX"},
        {"INDEX 01 00:00", -1, -1, "cue: malformed INDEX time"},
        {"INDEX 01 00:00:00 x", -1, -1, "cue: malformed INDEX time"},
        {"INDEX 01 :00:00", -1, -1, "cue: malformed INDEX time"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_EQ(parse(std::string("TRACK 1 AUDIO\n") + c.line + "\n", VQPLP_FMT_CUE), 0);
        EXPECT_EQ(vqplp_cue_track_index_count(0), c.frames < 0 ? 0 : 1);
        EXPECT_EQ(vqplp_cue_track_index_frames(0, 0), c.frames);
        EXPECT_EQ(vqplp_cue_track_index_ms(0, 0), c.ms);
        EXPECT_EQ(warnings(), c.warning ? std::vector<std::string>{c.warning} : std::vector<std::string>{});
    }
}

TEST(ParserCue, Warnings) {
    ASSERT_EQ(parse("INDEX 01 00:00:00\nPREGAP 00:02:00\nFLAGS DCP\nREM GENRE Rock\nTITLE\nWHAT is this\n"
                    "TRACK 01 AUDIO\nPREGAP\nPOSTGAP 1:2\nPOSTGAP 00:01:00\nTITLE\tTab\nISRC X\nFLAGS \"DCP\" 4CH\n",
                    VQPLP_FMT_CUE),
              0);
    EXPECT_EQ(warnings(), (std::vector<std::string>{
                              "cue: INDEX before TRACK ignored", "cue: PREGAP before TRACK ignored",
                              "cue: FLAGS before TRACK ignored", "cue: REM GENRE Rock", "cue: empty TITLE value",
                              "cue: garbage: WHAT is this", "cue: malformed PREGAP time", "cue: malformed POSTGAP time",
                              "cue: garbage: TITLE\tTab"}));
    EXPECT_STREQ(vqplp_cue_meta("TITLE"), "");
    EXPECT_STREQ(vqplp_cue_track_field(0, "ISRC"), "X");
    EXPECT_STREQ(vqplp_cue_track_field(0, "FLAGS"), "\"DCP\" 4CH");
    EXPECT_EQ(vqplp_cue_track_field(0, "FILE"), nullptr);
    EXPECT_STREQ(vqplp_item_location(0), "");
}

TEST(ParserCue, FileLines) {
    const struct {
        const char *line;
        const char *file;
    } cases[] = {
        {"FILE \"a b.wav\" WAVE", "a b.wav"}, {"FILE \"a b.wav\"", "a"},  // no type word: split at the last space all
                                                                          // the same
        {"FILE plain.flac", "plain.flac"},    {"FILE x", "x"},           {"FILE", ""},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(parse(std::string(c.line) + "\nTRACK 3\n", VQPLP_FMT_CUE), 0);
        EXPECT_STREQ(vqplp_cue_track_field(0, "FILE"), c.file) << c.line;
        EXPECT_STREQ(vqplp_cue_track_field(0, "DATATYPE"), "");
        EXPECT_EQ(vqplp_result_json(), std::string("{\"format\":\"cue\",\"item_count\":1,\"imdb_date_playlist\":false,"
                                                   "\"items\":[{\"title\":\"\",\"location\":\"") +
                                           c.file +
                                           "\",\"duration_ms\":-1}],\"cue\":{\"tracks\":[{\"number\":3,"
                                           "\"file\":\"" +
                                           c.file + "\",\"indices\":[]}]}}");
    }
}

TEST(ParserCue, LowerCaseKeywordsAndLimits) {
    std::string sheet = "  title Sheet\n\ttrack 007 AUDIO\n";
    for (int i = 0; i < 33; ++i) sheet += "index " + std::to_string(i) + " 00:00:" + std::to_string(i) + "\n";
    sheet += "TRACK 123456789012 MODE1/2352\nTRACK\n";
    ASSERT_EQ(parse(sheet, VQPLP_FMT_CUE), 0);
    EXPECT_STREQ(vqplp_cue_meta("TITLE"), "Sheet");
    ASSERT_EQ(vqplp_cue_track_count(), 3);
    EXPECT_EQ(vqplp_cue_track_index_count(0), 32);
    EXPECT_EQ(vqplp_cue_track_index_number(0, 31), 31);
    EXPECT_EQ(vqplp_cue_track_index_count(1), 0);
    EXPECT_EQ(vqplp_warning_count(), 0);
    EXPECT_STREQ(vqplp_cue_track_field(1, "DATATYPE"), "MODE1/2352");
    std::string json = vqplp_result_json();
    EXPECT_NE(json.find("{\"number\":7,\"indices\":[{\"n\":0,\"frames\":0,\"ms\":0}"), std::string::npos);
    EXPECT_NE(json.find("{\"number\":123456789,\"indices\":[]}"), std::string::npos);
    EXPECT_NE(json.find("{\"number\":0,\"indices\":[]}"), std::string::npos);
}
