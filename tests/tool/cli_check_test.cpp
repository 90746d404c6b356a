// `vqiptv check` as a user runs it against the loopback wire server: the
// table and summary, the JSON lines with nothing secret, the live entries'
// own lines written to a file, and the statuses of what goes wrong.
#include <gtest/gtest.h>

#include <string>

#include "run_tool.h"
#include "wire_server.h"

namespace {

// MPEG-TS at "/live", 404 for anything else.
wire_server stream_server() {
    return wire_server([](const wire_request &r) {
        std::string ts(5 * 188, '\x11');
        for (size_t i = 0; i < ts.size(); i += 188) ts[i] = '\x47';
        return r.target.starts_with("/live") ? http_response(200, {}, ts) : http_response(404);
    });
}

TEST(CliCheck, ReportsEachChannelAndWritesTheLiveEntriesAsTheyStand) {
    wire_server server = stream_server();
    const std::string live = "#EXTINF:-1 group-title=\"News\",Live\r\n#EXTVLCOPT:http-user-agent=UA/1\r\n" +
                             server.url("/live?token=s3cret") + "\r\n";
    const std::string twin = "#EXTINF:-1 group-title=\"Kids\",Twin\n" + server.url("/live?token=s3cret") + "\n";
    const std::string text = "#EXTM3U x-tvg-url=\"http://g.example/e.xml\"\r\n" + std::string("#EXTINF:-1 group-title=\"News\",Gone\n") +
                             server.url("/gone") + "\n" + live + "#EXTINF:-1 group-title=\"Kids\",Radio\nrtmp://user:pw@r.example/live\n" + twin;
    std::string playlist = temp_file("check.m3u", text), written = temp_file("live.m3u", "old");
    ToolRun r = run_tool({"check", "--file", playlist, "--write-live", written, "--jobs", "2"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find("Live")), "NAME   GROUP  VERDICT             FIRST BYTE\n") << r.out;
    EXPECT_NE(r.out.find("Gone   News   http 404\nTwin   Kids   live"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Radio  Kids   unsupported scheme\n"
                         "4 channels: 2 live, 2 dead (1 http 404, 1 unsupported scheme)\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(read_all(written), "#EXTM3U x-tvg-url=\"http://g.example/e.xml\"\r\n" + live + twin);

    ToolRun json = run_tool({"check", "Kids", "--file", playlist, "--json"});
    EXPECT_EQ(json.exit, 0) << json.err;
    EXPECT_EQ(json.out.find("s3cret"), std::string::npos) << json.out;
    EXPECT_EQ(json.out.find("pw"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"name\":\"Radio\",\"group\":\"Kids\",\"url\":\"rtmp://r.example/live\",\"verdict\":"
                            "\"dead\",\"cause\":\"unsupported scheme\",\"ms\":null}\n"),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("?<redacted>\",\"verdict\":\"live\",\"cause\":null,\"ms\":"), std::string::npos);
}

TEST(CliCheck, FailsWithTheToolsStatuses) {
    wire_server server = stream_server();
    std::string playlist = temp_file("fails.m3u", "#EXTM3U\n#EXTINF:-1,Live\n" + server.url("/live") + "\n");
    const struct {
        std::vector<std::string> args;
        int exit;
        const char *message;
    } cases[] = {
        {{"--write-live", "/nonexistent/live.m3u"}, 3, "vqiptv: cannot write /nonexistent/live.m3u: "},
        {{"--write-live", "/proc/live.m3u"}, 3, "vqiptv: cannot write /proc/live.m3u: "},
        {{"Nowhere"}, 3, "no group \"Nowhere\""},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = {"check", "--file", playlist};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ToolRun r = run_tool(args);
        EXPECT_EQ(r.exit, c.exit) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

}  // namespace
