// vqiptv over the network: a playlist served over HTTP browses like the same
// file, progress shows on a terminal only, bad settings are refused, and a
// 401 says whether credentials went out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>

#include "http/transports.h"
#include "progress.h"
#include "render.h"
#include "run_tool.h"
#include "wire_server.h"

namespace {

// The sample playlist for every GET.
wire_reply playlist_server() {
    return [body = read_all(sample_path())](const wire_request &) {
        return http_response(200, {"Content-Type: audio/x-mpegurl"}, body);
    };
}

class ToolNetwork : public testing::Test {
protected:
    void SetUp() override {
        if (!quorvex_http_curl()) GTEST_SKIP() << "no network transport in this build";
    }
};

TEST_F(ToolNetwork, APlaylistOverHttpBrowsesLikeTheSameFile) {
    wire_server server(playlist_server());
    for (const std::vector<std::string> &args : {std::vector<std::string>{"groups"}, {"channels", "Music"}}) {
        std::vector<std::string> over_http = args, from_file = args;
        over_http.insert(over_http.end(), {"--url", server.url("/sample.m3u")});
        from_file.insert(from_file.end(), {"--file", sample_path()});
        ToolRun r = run_tool(over_http);
        EXPECT_EQ(r.exit, 0) << r.err;
        EXPECT_EQ(r.err, "") << "no progress without a terminal";
        EXPECT_EQ(r.out, run_tool(from_file).out);
    }
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(ToolNetwork, AnUnreachableServerIsANetworkFailure) {
    ToolRun r = run_tool({"groups", "--url", "http://127.0.0.1:1/list.m3u"});
    EXPECT_EQ(r.exit, 4);
    EXPECT_NE(r.err.find("http://127.0.0.1:1/list.m3u"), std::string::npos) << r.err;
}

TEST_F(ToolNetwork, ATerminalSeesTheDownloadProgress) {
    if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1) to make a terminal";
    wire_server server(playlist_server());
    // script(1) runs the tool on a pseudo-terminal and copies what it shows.
    std::string command = std::string(VQIPTV_BIN) + " groups --url " + vqt::shell_quote(server.url("/s.m3u"));
    ToolRun r = run_tool_on_terminal(command);
    EXPECT_EQ(r.exit, 0) << r.out;
    std::string size = vqt::human_bytes(static_cast<double>(read_all(sample_path()).size()));
    // The server announces the length: the line shows the total and how much of it arrived.
    EXPECT_NE(r.out.find("\r\033[Kreceiving "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" of " + size + " ("), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\r\033[KGROUP"), std::string::npos) << "the line is erased before the table";
}

TEST_F(ToolNetwork, BadSettingsAreInvalid) {
    ToolRun array = run_tool({"groups", "--settings", "[]"});
    EXPECT_EQ(array.exit, 8);
    EXPECT_EQ(array.err, "vqiptv: settings_json is not a JSON object\n");
    ToolRun ftp = run_tool({"groups", "--url", "ftp://files.example/list.m3u"});
    EXPECT_EQ(ftp.exit, 8);
    EXPECT_NE(ftp.err.find("URL is not an absolute http(s) URL"), std::string::npos) << ftp.err;
}

// After a 401 the message says whether the credentials went to the server
// that refused, as that server saw it.
TEST_F(ToolNetwork, A401SaysWhetherTheCredentialsWereSent) {
    wire_server refusing([](const wire_request &) { return http_response(401, {"WWW-Authenticate: Basic realm=x"}); });
    const std::string refused = refusing.url("/l.m3u");
    wire_server redirecting([&](const wire_request &) { return http_response(302, {"Location: " + refused}); });
    const std::tuple<std::string, const char *, const char *> cases[] = {
        {refused, "X: y", "(no credentials were sent: the URL names no user and no Authorization header was given)"},
        {refused, "Authorization: Bearer t", "(the Authorization header was sent and refused)"},
        {"http://u:p@" + refused.substr(7), "X: y", "(the URL's user name and password were sent and refused)"},
        {"http://u:p@" + redirecting.url("/l.m3u").substr(7), "X: y",
         "(the URL's user name and password were not sent: credentials go to the URL's own origin only)"}};
    for (const auto &[url, header, note] : cases) {
        size_t before = refusing.requests().size();
        ToolRun r = run_tool({"groups", "--url", url, "--header", header});
        EXPECT_EQ(r.err, "vqiptv: HTTP 401 from " + refused + " " + note + "\n");
        EXPECT_EQ(r.exit, 6);
        bool sent = refusing.requests().back().has("Authorization") && refusing.requests().size() > before;
        EXPECT_EQ(sent, std::string(note).find(" sent and") != std::string::npos) << note;
    }
}

}  // namespace
