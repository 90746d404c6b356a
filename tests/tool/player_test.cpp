// Player command lines: the headers reach the player, and every word survives the shell.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "player.h"
#include "render.h"

namespace {

using vqt::shell_quote;

// What the shell prints for `printf '%s\n' WORDS`, one word a line.
std::string through_shell_words(const std::string &words, const std::string &shell = "sh") {
    std::string cmd = shell + " -c " + shell_quote("printf '%s\\n' " + words);
    FILE *p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[256];
    for (size_t n; p && (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    if (p) pclose(p);
    return out;
}

std::string through_shell(const std::string &word, const std::string &shell = "sh") {
    std::string out = through_shell_words(shell_quote(word), shell);
    return out.empty() ? out : out.substr(0, out.size() - 1);
}

TEST(ShellQuote, PlainWordsStayBare) {
    EXPECT_EQ(shell_quote("https://h.example/a/b.m3u8"), "https://h.example/a/b.m3u8");
    EXPECT_EQ(shell_quote("--referrer=x"), "--referrer=x");
}

TEST(ShellQuote, EveryWordSurvivesTheShell) {
    for (std::string word : {"", "a b", "it's", "$HOME `id` $(id)", "semi;colon & amp | pipe", "a\\b\"c",
                             "Mozilla/5.0 (KHTML, like Gecko)", "*?[glob]", "'''", "\xC3\xA9\xC2\xA0\xD0\x96"}) {
        EXPECT_EQ(through_shell(word), word) << shell_quote(word);
    }
    // Controls reach no terminal: C0, DEL and C1 (U+0080 to U+009F) as octal escapes.
    for (std::string word : {"new\nline", "\x1B[2J\x1B]0;t\x07", "a\r\nb: c", "del\x7F" "1", "csi\xC2\x9B" "31m",
                             "'q' \\ \x01\xC3\xA9", "\x80\xC2"}) {
        std::string quoted = shell_quote(word);
        for (unsigned char c : quoted) EXPECT_TRUE(c >= 0x20 && c != 0x7F) << quoted;
        EXPECT_EQ(quoted.find("\xC2\x9B"), std::string::npos) << quoted;
        EXPECT_EQ(through_shell(word, "bash"), word) << quoted;
    }
}

TEST(RenderPretty, ControlsInStringsAsEscapes) {
    EXPECT_EQ(vqt::render_pretty("[\"a\\u001b\x7F\xC2\x9B\xC3\xA9\"]"), "[\n  \"a\\u001B\\u007f\\u009b\xC3\xA9\"\n]\n");
}

const vqt::Stream kStream = {"https://cdn.example/live/index.m3u8?token=a&b=c",
                             {{"User-Agent", "Mozilla/5.0 (X11; Linux)"}, {"Referer", "https://site.example/"}}};

std::string line(const char *player, const vqt::Stream &s) {
    return vqt::shell_line(vqt::player_line(player, s).argv);
}

TEST(PlayerLine, EachPlayerGetsItsOwnFlags) {
    EXPECT_EQ(line("mpv", kStream),
              "mpv --user-agent='Mozilla/5.0 (X11; Linux)' --referrer=https://site.example/ "
              "'https://cdn.example/live/index.m3u8?token=a&b=c'");
    EXPECT_EQ(line("ffplay", kStream),
              "ffplay -autoexit -user_agent 'Mozilla/5.0 (X11; Linux)' -referer https://site.example/ "
              "'https://cdn.example/live/index.m3u8?token=a&b=c'");
    EXPECT_EQ(line("vlc", kStream),
              "vlc 'https://cdn.example/live/index.m3u8?token=a&b=c' :http-user-agent='Mozilla/5.0 (X11; Linux)' "
              ":http-referrer=https://site.example/");
}

TEST(PlayerLine, OtherHeadersGoWhereThePlayerTakesThem) {
    const vqt::Stream s = {"http://h/l.m3u8", {{"Referer", "r"}, {"Origin", "http://o"}, {"Cookie", "a=b, c=d"}}};
    vqt::PlayerLine mpv = vqt::player_line("mpv", s), ffplay = vqt::player_line("ffplay", s),
                    vlc = vqt::player_line("vlc", s);
    EXPECT_EQ(mpv.argv,
              (std::vector<std::string>{"mpv", "--referrer=r", "--http-header-fields-append=Origin: http://o",
                                        "--http-header-fields-append=Cookie: a=b, c=d", "http://h/l.m3u8"}));
    EXPECT_EQ(ffplay.argv, (std::vector<std::string>{"ffplay", "-autoexit", "-referer", "r", "-headers",
                                                      "Origin: http://o\r\nCookie: a=b, c=d", "http://h/l.m3u8"}));
    EXPECT_TRUE(mpv.unsent.empty() && ffplay.unsent.empty());
    EXPECT_EQ(vlc.argv, (std::vector<std::string>{"vlc", "http://h/l.m3u8", ":http-referrer=r"}));
    EXPECT_EQ(vlc.unsent, (std::vector<std::string>{"Origin", "Cookie"}));
}

TEST(PlayerLine, NoHeadersGiveTheUrlAlone) {
    EXPECT_EQ(line("mpv", {"rtmp://h.example/live", {}}), "mpv rtmp://h.example/live");
    EXPECT_TRUE(vqt::player_line("totem", kStream).argv.empty());
}

// Every word of a line comes back from the shell as it went in.
TEST(PlayerLine, TheShellReadsTheLineBackWordForWord) {
    const vqt::Stream s = {"http://h/a b'c", {{"User-Agent", "x $(id) `id` \"q\" 'p'"}, {"X-A", "\\ ; & |"}}};
    for (const char *player : {"mpv", "ffplay", "vlc"}) {
        std::vector<std::string> argv = vqt::player_line(player, s).argv;
        std::string want;
        for (size_t i = 1; i < argv.size(); ++i) want += argv[i] + "\n";
        std::string words = vqt::shell_line(argv);
        EXPECT_EQ(through_shell_words(words.substr(words.find(' ') + 1)), want) << player;
    }
}

}  // namespace
