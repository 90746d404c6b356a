// The parser's view of local files: CUE sheets, forced formats, gzip files,
// and warnings summed up by kind.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

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

TEST(ToolInspect, ParsesAsTheFormatAsked) {
    std::string list = temp_file("list.txt", "http://a.example/1.mp3\nhttp://a.example/2.mp3\n");
    ToolRun forced = run_tool({"inspect", list, "--format", "streaming-list"});
    EXPECT_EQ(forced.exit, 0) << forced.err;
    EXPECT_EQ(forced.out.rfind("Format: streaming-list\nItems:  2\n", 0), 0u) << forced.out;
    ToolRun as_cue = run_tool({"inspect", temp_file("s.m3u", "#EXTM3U\n#EXTINF:-1,A\nhttp://a.example/a\n"), "--format",
                               "cue", "--json"});
    EXPECT_NE(as_cue.out.find("\"format\":\"cue\""), std::string::npos) << as_cue.out;
}

// bytes as one gzip member.
std::string gzip(const std::string &bytes) {
    z_stream z{};
    deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, bytes.size()), '\0');
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// A gzip file reads as the fetch reads one: inflated whole (every member),
// or refused with the fetch's own message.
TEST(ToolInspect, ReadsGzipFilesAsTheFetchDoes) {
    std::string plain = read_all(sample_path()), half = plain.substr(0, plain.size() / 2);
    std::string whole = gzip(plain);
    ToolRun expected = run_tool({"inspect", sample_path()});
    struct {
        const char *name;
        std::string bytes;
        int exit;
        const char *message;  // after "vqiptv: ", then the file's path
    } cases[] = {
        {"one.m3u.gz", whole, 0, ""},
        {"two-members.gz", gzip(half) + gzip(plain.substr(half.size())), 0, ""},
        {"cut.m3u.gz", whole.substr(0, whole.size() - 9), 5, "gzip body is corrupt or cut short from "},
        {"bomb.m3u.gz", gzip(std::string((64u << 20) + 1, '\n')), 5, "body exceeds 64 MiB from "},
    };
    for (const auto &c : cases) {
        std::string path = temp_file(c.name, c.bytes);
        ToolRun r = run_tool({"inspect", path});
        EXPECT_EQ(r.exit, c.exit) << c.name << ": " << r.err;
        EXPECT_EQ(r.out, c.exit ? "" : expected.out) << c.name;
        EXPECT_EQ(r.err, c.exit ? "vqiptv: " + std::string(c.message) + path + "\n" : "") << c.name;
    }
}

}  // namespace
