// Real players get a header-guarded stream from vqiptv: nginx on 127.0.0.1
// serves a short HLS stream that ffmpeg makes here, answering 403 unless the
// exact User-Agent and Referer of the channel arrive. For each kind of
// playlist entry (option lines, attributes, a Kodi-style suffix, hostile
// values) each player runs from the line `vqiptv resolve --player` prints
// (through /bin/sh, as a user pastes it) and from `vqiptv play`. A run passes
// when the server's log shows the playlist and a segment served with the
// expected headers and no 403. Every player run is bounded by timeout(1).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "nginx_server.h"
#include "render.h"
#include "run_tool.h"

namespace fs = std::filesystem;

namespace {

struct entry_case {
    const char *name;   // the channel's name in the playlist
    const char *lines;  // the entry; "URL" stands for its stream
    const char *agent, *referer, *origin;
};

const entry_case kCases[] = {
    {"Options",
     "#EXTINF:-1,Options\n#EXTVLCOPT:http-user-agent=QvxPlayer/1.0 (options)\n"
     "#EXTVLCOPT:http-referrer=http://options.test/page\nURL",
     "QvxPlayer/1.0 (options)", "http://options.test/page", ""},
    {"Attributes",
     "#EXTINF:-1 http-user-agent=\"QvxPlayer/2.0 (attributes)\" http-referrer=\"http://attributes.test/\","
     "Attributes\nURL",
     "QvxPlayer/2.0 (attributes)", "http://attributes.test/", ""},
    {"Kodi",
     "#EXTINF:-1,Kodi\nURL|User-Agent=Kodi%2F20.2 (X11; Linux x86_64)&Referer=http%3A%2F%2Fkodi.test%2Fplayer"
     "&Origin=http%3A%2F%2Fkodi.test",
     "Kodi/20.2 (X11; Linux x86_64)", "http://kodi.test/player", "http://kodi.test"},
    {"Hostile",
     "#EXTINF:-1,Hostile\n#EXTVLCOPT:http-user-agent=Hostile/1.0 (it's \"quoted\" $(touch pwned) `touch pwned`)\n"
     "#EXTVLCOPT:http-referrer=http://hostile.test/a b?x='1'&y=\"2\"&z=$(touch pwned)&w=`touch pwned`\nURL",
     "Hostile/1.0 (it's \"quoted\" $(touch pwned) `touch pwned`)",
     "http://hostile.test/a b?x='1'&y=\"2\"&z=$(touch pwned)&w=`touch pwned`", ""},
};

struct player {
    const char *name;
    bool sends_other_headers;
    const char *wrapper;  // the headless, bounded command the player's name stands for
};

const player kPlayers[] = {
    {"mpv", true, "/usr/bin/mpv --no-config --vo=null --ao=null --frames=3"},
    {"ffplay", true, "/usr/bin/env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy /usr/bin/ffplay -loglevel error"},
    {"vlc", false, "/usr/bin/cvlc -I dummy --play-and-exit --run-time=2 --vout=dummy --aout=dummy"},
};

constexpr const char *kTimeout = "/usr/bin/timeout -k 2 20";

std::string replaced(std::string text, const std::string &what, const std::string &with) {
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size())
        text.replace(at, what.size(), with);
    return text;
}

// A string in nginx's configuration, read back literally by map.
std::string nginx_string(const std::string &s) {
    return "\"" + replaced(replaced(s, "\\", "\\\\"), "\"", "\\\"") + "\"";
}

std::string path_of(int i) { return "/c" + std::to_string(i) + "/"; }

// One map per header and case, one nested location per case that refuses a
// request without both.
nginx_site guarded_site(const std::string &files) {
    std::ostringstream http, location;
    http << "map_hash_bucket_size 512;\n"
         << "log_format players escape=json '$status\\t$uri\\t$http_user_agent\\t$http_referer\\t$http_origin';\n";
    location << "access_log @DIR@/access.log players;\n";
    for (int i = 0; i < static_cast<int>(std::size(kCases)); ++i) {
        http << "map $http_user_agent $agent_ok" << i << " { default 0; " << nginx_string(kCases[i].agent)
             << " 1; }\n"
             << "map $http_referer $referer_ok" << i << " { default 0; " << nginx_string(kCases[i].referer)
             << " 1; }\n";
        location << "location " << path_of(i) << " { if ($agent_ok" << i << " = 0) { return 403; } if ($referer_ok"
                 << i << " = 0) { return 403; } }\n";
    }
    return {files, http.str(), location.str()};
}

struct log_line {
    int status = 0;
    std::string uri, agent, referer, origin;
};

// What escape=json did to a value, undone (the values here hold no control bytes).
std::string unescaped(const std::string &s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) out += s[i] == '\\' && i + 1 < s.size() ? s[++i] : s[i];
    return out;
}

std::vector<log_line> read_log(const std::string &path, std::string *text) {
    std::ifstream in(path);
    std::vector<log_line> lines;
    for (std::string line; std::getline(in, line);) {
        *text += line + "\n";
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string v; std::getline(fields, v, '\t');) f.push_back(unescaped(v));
        f.resize(5);
        lines.push_back({std::atoi(f[0].c_str()), f[1], f[2], f[3], f[4]});
    }
    return lines;
}

bool served(int status) { return status == 200 || status == 206; }

bool ends_with(const std::string &s, const char *tail) {
    std::string t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// "" when the log shows the stream played with the case's headers.
std::string verdict(const std::vector<log_line> &log, const entry_case &c, const player &p) {
    bool playlist = false, segment = false;
    for (const log_line &l : log) {
        if (l.status == 403) return "403 for " + l.uri;
        if (l.agent != c.agent || l.referer != c.referer) return "other headers for " + l.uri;
        if (p.sends_other_headers && l.origin != c.origin) return "Origin \"" + l.origin + "\" for " + l.uri;
        playlist = playlist || (served(l.status) && ends_with(l.uri, ".m3u8"));
        segment = segment || (served(l.status) && ends_with(l.uri, ".ts"));
    }
    return !playlist ? "no playlist served" : !segment ? "no segment served" : "";
}

class PlayerRuns : public testing::TestWithParam<player> {
protected:
    static void SetUpTestSuite() {
        char tmpl[] = "/tmp/qvx-players-XXXXXX";
        ASSERT_TRUE(::mkdtemp(tmpl));
        dir_ = tmpl;
        ::chmod(tmpl, 0755);
        for (const char *sub : {"/bin", "/run", "/hls"}) fs::create_directory(dir_ + sub);
        fs::create_directory(dir_ + "/home");
        ::chmod((dir_ + "/home").c_str(), 0777);  // VLC's, when it runs as nobody
        ASSERT_EQ(make_stream(), 0);
        server_ = std::make_unique<nginx_server>(guarded_site(dir_ + "/hls"));
        ASSERT_TRUE(server_->ok()) << server_->error();
        write_playlist();
        for (const player &p : kPlayers) write_wrapper(p);
    }

    static void TearDownTestSuite() {
        server_.reset();
        std::error_code ec;
        if (!dir_.empty()) fs::remove_all(dir_, ec);
    }

    // Three one-second segments of a tiny picture, copied for every case.
    static int make_stream() {
        std::string hls = dir_ + "/hls";
        std::string cmd = std::string(kTimeout) +
                          " ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=size=64x48:rate=10 -t 3 "
                          "-c:v mpeg2video -g 10 -f hls -hls_time 1 -hls_list_size 0 -hls_segment_filename " +
                          hls + "/seg%d.ts " + hls + "/live.m3u8";
        if (int rc = std::system(cmd.c_str())) return rc;
        for (int i = 0; i < static_cast<int>(std::size(kCases)); ++i) {
            fs::create_directory(hls + path_of(i));
            for (const char *f : {"live.m3u8", "seg0.ts", "seg1.ts", "seg2.ts"})
                fs::copy_file(hls + "/" + f, hls + path_of(i) + f);
        }
        return 0;
    }

    static void write_playlist() {
        std::string text = "#EXTM3U\n";
        for (int i = 0; i < static_cast<int>(std::size(kCases)); ++i)
            text += replaced(kCases[i].lines, "URL", server_->http(path_of(i) + "live.m3u8")) + "\n";
        std::ofstream(dir_ + "/players.m3u") << text;
    }

    // VLC refuses to run as root: then it runs as nobody.
    static void write_wrapper(const player &p) {
        std::string drop = ::geteuid() == 0 && std::string(p.name) == "vlc"
                               ? "/usr/bin/setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME=" + dir_ +
                                     "/home "
                               : "";
        std::string path = dir_ + "/bin/" + p.name;
        std::ofstream(path) << "#!/bin/sh\nexec " << kTimeout << " " << drop << p.wrapper << " \"$@\"\n";
        ::chmod(path.c_str(), 0755);
    }

    std::string path_env() const { return dir_ + "/bin:/usr/bin:/bin"; }

    // Runs one way of playing and judges the server's log of it.
    void judge(const char *how, const entry_case &c, const player &p, int exit) {
        SCOPED_TRACE(std::string(p.name) + ", " + c.name + ", " + how);
        std::string text;
        std::vector<log_line> log = read_log(server_->dir() + "/access.log", &text);
        std::cout << "--- " << p.name << " " << c.name << " (" << how << "), exit " << exit << "\n" << text;
        EXPECT_EQ(verdict(log, c, p), "");
        EXPECT_FALSE(fs::exists(dir_ + "/run/pwned") || fs::exists("pwned"));
        std::ofstream(server_->dir() + "/access.log", std::ios::trunc);
    }

    void from_resolve_line(const entry_case &c, const player &p) {
        ToolRun r = run_tool({"resolve", c.name, "--file", dir_ + "/players.m3u", "--player", p.name});
        ASSERT_EQ(r.exit, 0) << r.err;
        std::string line = r.out.substr(0, r.out.size() - 1);  // all it printed but the last line end
        std::string cmd = "cd " + vqt::shell_quote(dir_ + "/run") + " && PATH=" + vqt::shell_quote(path_env()) +
                          " /bin/sh -c " + vqt::shell_quote(line) + " >/dev/null 2>&1 </dev/null";
        judge("resolve line", c, p, std::system(cmd.c_str()));
    }

    void from_play(const entry_case &c, const player &p) {
        ToolRun r = run_tool({"play", c.name, "--file", dir_ + "/players.m3u", "--player", p.name},
                             {"PATH=" + path_env()});
        // -autoexit: ffplay ends with the three-second stream, not by timeout(1).
        if (std::string(p.name) == "ffplay") {
            EXPECT_EQ(r.exit, 0) << c.name << ": " << r.err;
        }
        judge("play", c, p, r.exit);
    }

    static std::string dir_;
    static std::unique_ptr<nginx_server> server_;
};

std::string PlayerRuns::dir_;
std::unique_ptr<nginx_server> PlayerRuns::server_;

TEST_P(PlayerRuns, GetTheGuardedStreamFromTheResolveLineAndFromPlay) {
    for (const entry_case &c : kCases) {
        from_resolve_line(c, GetParam());
        from_play(c, GetParam());
    }
}

INSTANTIATE_TEST_SUITE_P(Each, PlayerRuns, testing::ValuesIn(kPlayers),
                         [](const testing::TestParamInfo<player> &i) { return std::string(i.param.name); });

}  // namespace
