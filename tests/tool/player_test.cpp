// Player command lines: the headers reach the player, and every word survives the shell.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "render.h"

namespace {

using vqt::shell_quote;

// What the shell makes of `printf '%s\n' WORD`.
std::string through_shell(const std::string &word) {
    std::string cmd = "printf '%s\\n' " + shell_quote(word);
    FILE *p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[256];
    for (size_t n; p && (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    if (p) pclose(p);
    return out.empty() ? out : out.substr(0, out.size() - 1);
}

TEST(ShellQuote, PlainWordsStayBare) {
    EXPECT_EQ(shell_quote("https://h.example/a/b.m3u8"), "https://h.example/a/b.m3u8");
    EXPECT_EQ(shell_quote("--referrer=x"), "--referrer=x");
}

TEST(ShellQuote, EveryWordSurvivesTheShell) {
    for (std::string word : {"", "a b", "it's", "$HOME `id` $(id)", "semi;colon & amp | pipe", "a\\b\"c",
                             "Mozilla/5.0 (KHTML, like Gecko)", "*?[glob]", "new\nline", "'''"}) {
        EXPECT_EQ(through_shell(word), word) << shell_quote(word);
    }
}

const vqt::Stream kStream = {"https://cdn.example/live/index.m3u8?token=a&b=c",
                             {{"User-Agent", "Mozilla/5.0 (X11; Linux)"}, {"Referer", "https://site.example/"}}};

TEST(PlayerCommand, EachPlayerGetsItsOwnFlags) {
    EXPECT_EQ(vqt::player_command("mpv", kStream),
              "mpv --user-agent='Mozilla/5.0 (X11; Linux)' --referrer=https://site.example/ "
              "'https://cdn.example/live/index.m3u8?token=a&b=c'");
    EXPECT_EQ(vqt::player_command("ffplay", kStream),
              "ffplay -user_agent 'Mozilla/5.0 (X11; Linux)' -referer https://site.example/ "
              "'https://cdn.example/live/index.m3u8?token=a&b=c'");
    EXPECT_EQ(vqt::player_command("vlc", kStream),
              "vlc --http-user-agent='Mozilla/5.0 (X11; Linux)' --http-referrer=https://site.example/ "
              "'https://cdn.example/live/index.m3u8?token=a&b=c'");
}

TEST(PlayerCommand, NoHeadersGiveTheUrlAlone) {
    EXPECT_EQ(vqt::player_command("mpv", {"rtmp://h.example/live", {}}), "mpv rtmp://h.example/live");
    EXPECT_EQ(vqt::player_command("totem", kStream), "");
}

}  // namespace
