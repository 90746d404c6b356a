// `vqiptv check` as a user runs it against the loopback wire server: the
// table and summary, the JSON lines with nothing secret, the live entries'
// own lines written to a file, and the status of what goes wrong.
#include <gtest/gtest.h>

#include <string>

#include "run_tool.h"
#include "wire_server.h"

namespace {

bool has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

TEST(CliCheck, ReportsEachChannelWritesTheLiveOnesAsTheyStandAndFailsWithTheToolsStatus) {
    wire_server server([](const wire_request &r) {  // MPEG-TS at "/live", 404 for anything else
        std::string ts(5 * 188, '\x11');
        for (size_t i = 0; i < ts.size(); i += 188) ts[i] = '\x47';
        return r.target.starts_with("/live") ? http_response(200, {}, ts) : http_response(404);
    });
    const std::string live = "#EXTINF:-1 group-title=\"News\",Live\r\n#EXTVLCOPT:http-user-agent=UA/1\r\n" +
                             server.url("/live?token=s3cret") + "\r\n";
    const std::string twin = "#EXTINF:-1 group-title=\"Kids\",Twin\n" + server.url("/live?token=s3cret") + "\n";
    const std::string head = "#EXTM3U x-tvg-url=\"http://g.example/e.xml\"\r\n";
    const std::string text = head + "#EXTINF:-1 group-title=\"News\",Gone\n" + server.url("/gone") + "\n" + live +
                             "#EXTINF:-1 group-title=\"Kids\",Radio\nrtmp://user:pw@r.example/live\n" + twin;
    std::string playlist = temp_file("check.m3u", text), written = temp_file("live.m3u", "old");
    ToolRun r = run_tool({"check", "--file", playlist, "--write-live", written, "--jobs", "2"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find("Live")), "NAME   GROUP  VERDICT             FIRST BYTE\n") << r.out;
    EXPECT_TRUE(has(r.out, "Gone   News   http 404\nTwin   Kids   live")) << r.out;
    EXPECT_TRUE(has(r.out, "Radio  Kids   unsupported scheme\n"
                           "4 channels: 2 live, 2 dead (1 http 404, 1 unsupported scheme)\n")) << r.out;
    EXPECT_EQ(read_all(written), head + live + twin);

    ToolRun json = run_tool({"check", "Kids", "--file", playlist, "--json"});
    EXPECT_EQ(json.exit, 0) << json.err;
    for (const char *secret : {"s3cret", "pw"}) EXPECT_FALSE(has(json.out, secret)) << json.out;
    EXPECT_TRUE(has(json.out, "\"name\":\"Radio\",\"group\":\"Kids\",\"url\":\"rtmp://r.example/live\",\"verdict\":"
                              "\"dead\",\"cause\":\"unsupported scheme\",\"ms\":null}\n")) << json.out;
    EXPECT_TRUE(has(json.out, "?<redacted>\",\"verdict\":\"live\",\"cause\":null,\"ms\":")) << json.out;

    const std::pair<std::vector<std::string>, const char *> cases[] = {
        {{"--write-live", "/nonexistent/live.m3u"}, "vqiptv: cannot write /nonexistent/live.m3u: "},
        {{"--write-live", "/proc/live.m3u"}, "vqiptv: cannot write /proc/live.m3u: "},
        {{"Nowhere"}, "no group \"Nowhere\""},
    };
    for (const auto &[more, message] : cases) {
        std::vector<std::string> args = {"check", "--file", playlist};
        args.insert(args.end(), more.begin(), more.end());
        ToolRun failed = run_tool(args);
        EXPECT_EQ(failed.exit, 3) << failed.err;
        EXPECT_NE(failed.err.find(message), std::string::npos) << failed.err;
    }
}

}  // namespace
