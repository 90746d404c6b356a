// The parser's view of local files: CUE sheets, forced formats, gzip files,
// and warnings summed up by kind.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "gzip_text.h"
#include "inspect.h"
#include "run_tool.h"

namespace {

TEST(WarningKind, DropsTheParticulars) {
    const std::pair<const char *, const char *> cases[] = {
        {"m3u: unknown tag", "m3u: unknown tag"},
        {"cue: garbage: JUNK line", "cue: garbage"},
        {"cue: REM COMMENT \"x y z\"", "cue: REM COMMENT"},
        {"cue: malformed PREGAP time", "cue: malformed PREGAP"},
        {"encoding: CP1252 fallback", "encoding: CP1252 fallback"},
        {"plain", "plain"},
    };
    for (auto [warning, kind] : cases) EXPECT_EQ(vqt::warning_kind(warning), kind) << warning;
}

TEST(WarningKind, CountsMostFrequentFirst) {
    auto kinds = vqt::warning_kinds({"m3u: invalid EXTINF", "cue: garbage: a", "cue: garbage: b", "m3u: unknown tag",
                                     "cue: garbage: c", "m3u: unknown tag"});
    using Kinds = std::vector<std::pair<std::string, size_t>>;
    EXPECT_EQ(kinds, (Kinds{{"cue: garbage", 3}, {"m3u: unknown tag", 2}, {"m3u: invalid EXTINF", 1}}));
}

const char kCue[] =
    "TITLE \"Live Set\"\nPERFORMER \"DJ Demo\"\nFILE \"set.mp3\" MP3\n"
    "  TRACK 01 AUDIO\n    TITLE \"Intro\"\n    INDEX 01 00:00:00\n"
    "  TRACK 02 AUDIO\n    TITLE \"Second\"\n    INDEX 01 03:15:50\n"
    "REM COMMENT \"one\"\nREM COMMENT \"two\"\nJUNK line\n";

TEST(ToolInspect, ShowsACueSheetWithTrackStarts) {
    ToolRun r = run_tool({"inspect", temp_file("set.cue", kCue)});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out,
              "Format: cue\nItems:  2\n\n"
              "#  TITLE   LOCATION\n1  Intro   set.mp3\n2  Second  set.mp3\n\n"
              "CUE sheet: Live Set / DJ Demo\n"
              "TRACK  TITLE   FILE         START\n"
              "    1  Intro   set.mp3  00:00.000\n"
              "    2  Second  set.mp3  03:15.666\n\n"
              "Warnings: 3\n      2  cue: REM COMMENT\n      1  cue: garbage\n");
}

TEST(ToolInspect, NoControlOfTheFileReachesTheTerminal) {
    ToolRun r = run_tool({"inspect", temp_file("c.cue", "TITLE \"A\x1B]0;t\x07\"\nPERFORMER \"B\xC2\x9B" "2J\"\n"
                                                      "FILE \"f.mp3\" MP3\n  TRACK 01 AUDIO\n"
                                                      "    INDEX 01 00:00:00\nREM \x1B[31m x\n")});
    EXPECT_NE(r.out.find("CUE sheet: A ]0;t  / B 2J\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find_first_of("\x1B\x07\x9B"), std::string::npos) << r.out;  // the REM warning's word too
}

TEST(ToolInspect, ParsesAsTheFormatAsked) {
    std::string list = temp_file("list.txt", "http://a.example/1.mp3\nhttp://a.example/2.mp3\n");
    ToolRun forced = run_tool({"inspect", list, "--format", "streaming-list"});
    EXPECT_EQ(forced.exit, 0) << forced.err;
    EXPECT_EQ(forced.out.rfind("Format: streaming-list\nItems:  2\n", 0), 0u) << forced.out;
    ToolRun as_cue = run_tool({"inspect", temp_file("s.m3u", "#EXTM3U\n#EXTINF:-1,A\nhttp://a.example/a\n"), "--format",
                               "cue", "--json"});
    EXPECT_NE(as_cue.out.find("\"format\":\"cue\""), std::string::npos) << as_cue.out;
}

// A gzip file reads as the fetch reads one: inflated, or refused with the
// fetch's own message.
TEST(ToolInspect, ReadsGzipFilesAsTheFetchDoes) {
    std::string whole = gzip_text(read_all(sample_path())), gz = temp_file("sample.m3u.gz", whole);
    const std::pair<std::string, const char *> cases[] = {
        {gz, ""},
        {temp_file("cut.m3u.gz", whole.substr(0, whole.size() - 9)), "gzip body is corrupt or cut short from "},
        {temp_file("bomb.m3u.gz", gzip_zeros((64u << 20) + 1)), "body exceeds 64 MiB from "}};
    for (const auto &[path, message] : cases) {
        ToolRun r = run_tool({"inspect", path});
        EXPECT_EQ(r.out, *message ? "" : run_tool({"inspect", sample_path()}).out) << path;
        EXPECT_EQ(r.err, *message ? "vqiptv: " + (message + path) + "\n" : "") << path;
        EXPECT_EQ(r.exit, *message ? 5 : 0) << path;
    }
}

}  // namespace
