// `vqiptv check` over a world of real servers: a loopback nginx serving the
// HLS stream ffmpeg makes here, a TS file, a file refused without the
// channel's User-Agent, an HTML page, a missing file and a redirect loop; the
// wire server stalling and trickling; a refused port. Every verdict is the
// expected one, the run ends within its bounds, and mpv plays the file
// --write-live writes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "nginx_server.h"
#include "run_tool.h"
#include "wire_server.h"

namespace fs = std::filesystem;

namespace {

constexpr const char *kAgent = "CheckPlayer/1.0";
constexpr int kTimeoutSeconds = 3;

// The stream, a TS file and a page in a world-readable folder.
std::string make_files() {
    char tmpl[] = "/tmp/qvx-check-XXXXXX";
    if (!::mkdtemp(tmpl)) return "";
    std::string dir = tmpl;
    ::chmod(tmpl, 0755);
    fs::create_directories(dir + "/www/guarded");
    std::string cmd = "timeout -k 2 60 ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=size=64x48:rate=10 -t 3 "
                      "-c:v mpeg2video -g 10 -f hls -hls_time 1 -hls_list_size 0 -hls_segment_filename " +
                      dir + "/www/seg%d.ts " + dir + "/www/live.m3u8";
    if (std::system(cmd.c_str()) != 0) return "";
    fs::copy_file(dir + "/www/seg0.ts", dir + "/www/clip.ts");
    fs::copy_file(dir + "/www/seg0.ts", dir + "/www/guarded/clip.ts");
    std::ofstream(dir + "/www/page.html") << "<!DOCTYPE html><title>Channel offline</title>\n";
    return dir;
}

nginx_site site(const std::string &dir) {
    return {dir + "/www",
            "map $http_user_agent $agent_ok { default 0; \"" + std::string(kAgent) + "\" 1; }\n"
            "log_format world '$status $uri $http_user_agent';\n",
            "access_log @DIR@/access.log world;\n"
            "location /guarded/ { if ($agent_ok = 0) { return 403; } }\n"
            "location = /loop { return 302 /loop; }\n"};
}

// Stalls at "/stall"; at "/slow" sends a TS file's first packets 150 ms
// apart, then the rest.
void stall_or_trickle(const std::string &ts, const wire_request &r, wire_conn &c) {
    if (r.target == "/stall") return c.stall(20000);
    bool sent = c.send(http_response(200, {"Content-Length: " + std::to_string(ts.size())})) &&
                c.trickle(ts.substr(0, 6 * 188), 188, 150) && c.send(ts.substr(6 * 188));
    if (!sent) c.close();
}

// Whether the access log shows path served to mpv (200, or 206 for a range).
bool served_to_mpv(const std::string &log, const std::string &path) {
    for (const char *status : {"200 ", "206 "})
        if (log.find(status + path + " libmpv") != std::string::npos) return true;
    return false;
}

// The cause of each channel in the JSON lines, "live" for the live ones.
std::map<std::string, std::string> causes(const std::string &lines) {
    std::map<std::string, std::string> out;
    for (size_t at = 0; (at = lines.find("\"name\":\"", at)) != std::string::npos; ++at) {
        std::string name = lines.substr(at + 8, lines.find('"', at + 8) - at - 8);
        size_t cause = lines.find("\"cause\":", at) + 8;
        out[name] = lines[cause] == 'n' ? "live" : lines.substr(cause + 1, lines.find('"', cause + 1) - cause - 1);
    }
    return out;
}

TEST(CheckWorld, JudgesEveryChannelWithinItsBoundsAndItsLiveListPlays) {
    std::string dir = make_files();
    ASSERT_FALSE(dir.empty()) << "ffmpeg could not make the stream";
    nginx_server nginx(site(dir));
    ASSERT_TRUE(nginx.ok()) << nginx.error();
    std::string ts = read_all(dir + "/www/clip.ts");
    wire_server slow([&](const wire_request &r, wire_conn &c) { stall_or_trickle(ts, r, c); });
    const std::map<std::string, std::string> expected = {
        {"HLS", "live"}, {"TS file", "live"}, {"Guarded", "live"}, {"Unguarded", "http 403"},
        {"Slow", "live"}, {"Page", "not media"}, {"Missing", "http 404"}, {"Refused", "connect"},
        {"Stalled", "timeout"}, {"Loop", "redirect loop"}, {"Radio", "unsupported scheme"}};
    const std::pair<const char *, std::string> entries[] = {
        {"HLS", nginx.http("/live.m3u8")}, {"TS file", nginx.http("/clip.ts")},
        {"Guarded", "#EXTVLCOPT:http-user-agent=" + std::string(kAgent) + "\n" + nginx.http("/guarded/clip.ts")},
        {"Unguarded", nginx.http("/guarded/clip.ts?plain")}, {"Slow", slow.url("/slow")},
        {"Page", nginx.http("/page.html")}, {"Missing", nginx.http("/missing.ts")},
        {"Refused", "http://127.0.0.1:" + std::to_string(closed_loopback_port()) + "/x.ts"},
        {"Stalled", slow.url("/stall")}, {"Loop", nginx.http("/loop")}, {"Radio", "rtsp://127.0.0.1/radio"}};
    std::string text = "#EXTM3U\n";
    for (const auto &[name, lines] : entries) text += "#EXTINF:-1 group-title=\"World\"," + std::string(name) + "\n" + lines + "\n";
    std::ofstream(dir + "/world.m3u") << text;

    auto start = std::chrono::steady_clock::now();
    ToolRun r = run_tool({"check", "--file", dir + "/world.m3u", "--json", "--jobs", "4", "--timeout",
                          std::to_string(kTimeoutSeconds), "--write-live", dir + "/live.m3u"});
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(causes(r.out), expected) << r.out;
    // Eleven probes, four at a time: one stalls for its whole time, the rest answer within a second or two.
    EXPECT_LT(took, 3.0 * kTimeoutSeconds) << "the run outlasted its bounds";

    std::ofstream(nginx.dir() + "/access.log", std::ios::trunc);
    std::string mpv = "timeout -k 2 60 mpv --no-config --vo=null --ao=null --frames=3 " + dir + "/live.m3u" +
                      " >" + dir + "/mpv.log 2>&1 </dev/null";
    int mpv_status = std::system(mpv.c_str());
    std::string log = read_all(nginx.dir() + "/access.log") + "mpv's status " + std::to_string(mpv_status) + "\n";
    for (const char *played : {"/seg0.ts", "/clip.ts"}) EXPECT_TRUE(served_to_mpv(log, played)) << log;
    for (const char *dead : {"/page.html", "/missing.ts", "/loop"}) EXPECT_EQ(log.find(dead), std::string::npos) << log;
    std::error_code ec;
    fs::remove_all(dir, ec);
}

}  // namespace
