// The parse result rendered as one JSON document.
#include <gtest/gtest.h>

#include <string>

#include "parser_test_util.h"

using namespace ptest;

TEST(ParserJson, Documents) {
    const struct {
        const char *what;
        std::string text;
        int32_t format;
        const char *json;
    } cases[] = {
        {"plain item", "#EXTM3U\nhttp://a/\n", -1,
         R"({"format":"m3u","item_count":1,"imdb_date_playlist":false,"items":[{"title":"","location":"http://a/",)"
         R"("duration_ms":-1}],"warnings":["m3u: bare path accepted"]})"},
        {"duplicate attributes", "#EXTM3U\n#EXTINF:5 k=\"1\" k=\"2\",T/\xC3\xA9\nhttp://a/\n", -1,
         R"({"format":"m3u","item_count":1,"imdb_date_playlist":false,"items":[{"title":"T/)"
         "\xC3\xA9"
         R"(","location":"http://a/","duration_ms":5000,"attrs":{"k":"1","k":"2"}}]})"},
        {"release date", "#EXTM3U\n#EXTINF:20240115,tt1\nhttp://a/\n", -1,
         R"({"format":"m3u","item_count":1,"imdb_date_playlist":true,"items":[{"title":"tt1","location":"http://a/",)"
         R"("duration_ms":20240115,"release_date":20240115}]})"},
        {"hls", "#EXTM3U\n#EXT-X-ENDLIST\n", -1,
         R"({"format":"m3u8-hls","item_count":0,"imdb_date_playlist":false,"items":[]})"},
        {"cue title only", "TITLE \"S\"\nTRACK 2 AUDIO\nINDEX 01 00:02:37\n", 3,
         R"({"format":"cue","item_count":1,"imdb_date_playlist":false,"items":[{"title":"","location":"",)"
         R"("duration_ms":-1}],"cue":{"title":"S","tracks":[{"number":2,"indices":[{"n":1,"frames":187,"ms":2493}]}]}})"},
        {"quotes and controls escaped", "#EXTM3U\n#EXTINF:1,a\"b\\c\x01\nhttp://a/\n", -1,
         R"({"format":"m3u","item_count":1,"imdb_date_playlist":false,"items":[{"title":"a\"b\\c\u0001",)"
         R"("location":"http://a/","duration_ms":1000}]})"},
        // The decoder lets an encoded surrogate and an overlong form through
        // (their form is sound); each of their bytes is written as U+FFFD.
        {"surrogate and overlong repaired", "#EXTM3U\n#EXTINF:1,a\xED\xA0\x80z\nhttp://a/\xC0\x80\n", -1,
         R"({"format":"m3u","item_count":1,"imdb_date_playlist":false,"items":[{"title":"a)"
         "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
         R"(z","location":"http://a/)"
         "\xEF\xBF\xBD\xEF\xBF\xBD"
         R"(","duration_ms":1000}]})"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        parse(c.text, c.format);
        EXPECT_STREQ(vqplp_result_json(), c.json);
    }
}

TEST(ParserJson, AfterClear) {
    vqplp_clear();
    EXPECT_STREQ(vqplp_result_json(), R"({"format":"m3u","item_count":0,"imdb_date_playlist":false,"items":[]})");
}

// Each call renders the result as it is now, into a text of its own.
TEST(ParserJson, EachCallReplacesTheText) {
    auto doc = [](const char *location) {
        return std::string(R"({"format":"m3u","item_count":1,"imdb_date_playlist":false,"items":[{"title":"",)") +
               R"("location":")" + location + R"(","duration_ms":-1}],"warnings":["m3u: bare path accepted"]})";
    };
    ASSERT_EQ(parse("#EXTM3U\nhttp://a/\n"), 0);
    EXPECT_EQ(vqplp_result_json(), doc("http://a/"));
    ASSERT_EQ(parse("#EXTM3U\nhttp://b/\n"), 0);
    EXPECT_EQ(vqplp_result_json(), doc("http://b/"));
    EXPECT_EQ(vqplp_result_json(), doc("http://b/")) << "the same result renders alike again";
    vqplp_clear();
    EXPECT_STREQ(vqplp_result_json(), R"({"format":"m3u","item_count":0,"imdb_date_playlist":false,"items":[]})");
}

TEST(ParserJson, FailedDecodeGivesNoItems) {
    ASSERT_EQ(parse("abc", VQPLP_FMT_AUTO, "NO-SUCH-SET"), VQPLP_E_DECODE);
    EXPECT_STREQ(vqplp_result_json(), R"({"format":"m3u","item_count":0,"imdb_date_playlist":false,"items":[]})");
}
