// `resolve` and `play` by channel name, and `play` handing the player its
// words without a shell: a stand-in player on PATH writes back what it got.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "run_tool.h"

namespace {

const std::string kPlaylist =
    "#EXTM3U\n"
    "#EXTINF:-1 group-title=\"A\",Twin\nhttp://h/1.m3u8\n"
    "#EXTINF:-1 group-title=\"B\",TWIN\nhttp://h/2.m3u8\n"
    "#EXTINF:-1 group-title=\"A\",Échos\nhttp://h/3.m3u8\n"
    "#EXTINF:-1 group-title=\"B\",échos\nhttp://h/3.m3u8\n"
    "#EXTINF:-1 group-title=\"B\",Hostile\n"
    "#EXTVLCOPT:http-user-agent=Agent \"q\" 'p' $(touch pwned) `touch pwned`\n"
    "http://h/4.m3u8|Referer=http%3A%2F%2Fr%2F%3Fa%3D1%26b%3D%24(id)&Origin=http%3A%2F%2Fo\n";

std::string playlist() { return temp_file("named.m3u", kPlaylist); }

// What a stand-in player does: print its arguments, one a line.
constexpr const char *kEcho = "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done\n";

// A folder holding a stand-in for each player that runs script.
std::string player_folder(const std::string &script = kEcho) {
    std::string dir = temp_dir("players");
    for (const char *name : {"mpv", "ffplay", "vlc"}) {
        std::string path = dir + "/" + name;
        std::ofstream(path) << script;
        ::chmod(path.c_str(), 0755);
    }
    return dir;
}

ToolRun play(std::vector<std::string> args, const std::string &path) {
    args.insert(args.begin(), {"play", "--file", playlist()});
    return run_tool(args, {"PATH=" + path});
}

TEST(ToolByName, AnExactNameLetterCaseAsidePicksTheChannel) {
    ToolRun by_name = run_tool({"resolve", "hostile", "--file", playlist()});
    ASSERT_EQ(by_name.exit, 0) << by_name.err;
    EXPECT_EQ(by_name.out.rfind("URL:        http://h/4.m3u8\n", 0), 0u) << by_name.out;
    ToolRun same_stream = run_tool({"resolve", "ÉCHOS", "--file", playlist()});
    EXPECT_EQ(same_stream.exit, 0) << same_stream.err;
    EXPECT_EQ(same_stream.out.rfind("URL:        http://h/3.m3u8\n", 0), 0u) << same_stream.out;
}

TEST(ToolByName, SeveralChannelsOfOneNameAreListedWithTheirIds) {
    for (const char *command : {"resolve", "play"}) {
        ToolRun r = run_tool({command, "twin", "--file", playlist()});
        EXPECT_EQ(r.exit, 2) << command;
        EXPECT_NE(r.err.find("2 channels are named \"twin\"; give one of their ids:\n"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("A "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("B "), std::string::npos) << r.err;
    }
    ToolRun none = run_tool({"resolve", "nobody", "--file", playlist()});
    EXPECT_EQ(none.exit, 3);
    EXPECT_NE(none.err.find("entry id not found"), std::string::npos) << none.err;
}

// What each player is handed, word for word, with nothing run by a shell.
TEST(ToolPlay, ThePlayerGetsItsWordsWithoutAShell) {
    const std::string dir = player_folder(), path = dir + ":/usr/bin:/bin";
    const std::string agent = "Agent \"q\" 'p' $(touch pwned) `touch pwned`";
    struct {
        const char *player;
        std::string words;
        std::string warning;
    } cases[] = {
        {"mpv",
         "--user-agent=" + agent + "\n--referrer=http://r/?a=1&b=$(id)\n--http-header-fields-append=Origin: " +
             "http://o\nhttp://h/4.m3u8\n",
         ""},
        {"ffplay",
         "-autoexit\n-user_agent\n" + agent + "\n-referer\nhttp://r/?a=1&b=$(id)\n-headers\nOrigin: http://o\nhttp://h/4.m3u8\n",
         ""},
        {"vlc", "http://h/4.m3u8\n:http-user-agent=" + agent + "\n:http-referrer=http://r/?a=1&b=$(id)\n",
         "vqiptv: vlc cannot send the header Origin (mpv and ffplay can)\n"},
    };
    for (const auto &c : cases) {
        ToolRun r = play({"Hostile", "--player", c.player}, path);
        EXPECT_EQ(r.exit, 0) << c.player << ": " << r.err;
        EXPECT_EQ(r.out, c.words) << c.player;
        EXPECT_EQ(r.err, c.warning) << c.player;
    }
    EXPECT_EQ(play({"Hostile"}, path).out.rfind("--user-agent=", 0), 0u) << "mpv is the first looked for";
    EXPECT_FALSE(std::filesystem::exists("pwned"));
}

TEST(ToolPlay, NoPlayerFoundNamesWhatWasLookedFor) {
    ToolRun any = play({"Hostile"}, "/nonexistent");
    EXPECT_EQ(any.exit, 11);
    EXPECT_EQ(any.err, "vqiptv: no player found (looked for mpv, ffplay, vlc on PATH)\n");
    ToolRun named = play({"Hostile", "--player", "vlc"}, "/nonexistent");
    EXPECT_EQ(named.exit, 11);
    EXPECT_EQ(named.err, "vqiptv: no player found (looked for vlc on PATH)\n");
}

// The caller's own words reach the player after the options the tool always
// gives it, before the headers and the stream.
TEST(ToolPlay, ThePlayersOwnOptionsPassThrough) {
    const std::pair<std::vector<std::string>, const char *> cases[] = {
        {{"Hostile", "--player-arg", "--fs", "--player-arg=--volume=5"}, "--fs\n--volume=5\n--user-agent="},
        {{"--player", "ffplay", "--", "Hostile", "-fs", "Hostile"}, "-autoexit\n-fs\nHostile\n-user_agent\n"},
        {{"--player-arg", "a b", "Hostile", "--player", "vlc", "--", "--fullscreen"}, "a b\n--fullscreen\nhttp://"}};
    for (const auto &[args, words] : cases) EXPECT_EQ(play(args, player_folder()).out.rfind(words, 0), 0u) << words;
    ToolRun line = run_tool({"resolve", "Hostile", "--file", playlist(), "--player", "mpv", "--player-arg=--fs"});
    EXPECT_EQ(line.out.rfind("mpv --fs --user-agent=", 0), 0u) << line.out;
}

// A player that fails, or cannot be run, has a status of its own and a message.
TEST(ToolPlay, APlayerThatFailsHasItsOwnStatus) {
    const std::tuple<const char *, const char *, int, const char *> cases[] = {
        {"#!/bin/sh\nexit 2\n", "mpv", 10, "vqiptv: mpv ended with status 2\n"},
        {"#!/bin/sh\nkill -9 $$\n", "ffplay", 10, "vqiptv: ffplay ended by signal 9\n"},
        {"#!/nonexistent/sh\n", "mpv", 11, "vqiptv: cannot run mpv: No such file or directory\n"}};
    for (const auto &[script, player, exit, err] : cases) {
        ToolRun r = play({"Hostile", "--player", player}, player_folder(script));
        EXPECT_EQ(r.exit, exit) << script;
        EXPECT_EQ(r.err, err) << script;
    }
}

}  // namespace
