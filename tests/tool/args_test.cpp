// Command lines the tool accepts and those it refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options.h"

namespace {

using vqt::Command;
using vqt::Options;
using vqt::SourceKind;

std::string parse(std::vector<const char *> words, Options &opts) {
    words.insert(words.begin(), "vqiptv");
    return vqt::parse_args(static_cast<int>(words.size()), words.data(), opts);
}

TEST(Args, CommandsTakeTheirOperandAndSource) {
    Options o;
    ASSERT_EQ(parse({"channels", "News", "--file", "a.m3u", "--json"}, o), "");
    EXPECT_EQ(o.command, Command::channels);
    EXPECT_EQ(o.operands, std::vector<std::string>{"News"});
    EXPECT_EQ(o.source, SourceKind::file);
    EXPECT_EQ(o.source_value, "a.m3u");
    EXPECT_TRUE(o.json);
}

TEST(Args, OptionsMayComeFirstAndTakeInlineValues) {
    Options o;
    ASSERT_EQ(parse({"--url=http://h/p.m3u", "--player", "vlc", "resolve", "0123456789abcdef"}, o), "");
    EXPECT_EQ(o.command, Command::resolve);
    EXPECT_EQ(o.source, SourceKind::url);
    EXPECT_EQ(o.source_value, "http://h/p.m3u");
    EXPECT_EQ(o.player, "vlc");
}

TEST(Args, InspectTakesCharsetAndFormat) {
    Options o;
    ASSERT_EQ(parse({"inspect", "x.cue", "--charset", "cp1252", "--format", "cue"}, o), "");
    EXPECT_EQ(o.command, Command::inspect);
    EXPECT_EQ(o.charset, "cp1252");
    EXPECT_EQ(o.format, "cue");
}

TEST(Args, UserAgentAndHeadersGoWithTheNetwork) {
    Options o;
    ASSERT_EQ(parse({"groups", "--user-agent", "VLC/3", "--header", "X-Device:  box 1", "--header=Referer:"}, o), "");
    EXPECT_TRUE(o.user_agent_given);
    EXPECT_EQ(o.user_agent, "VLC/3");
    using pair = std::pair<std::string, std::string>;
    EXPECT_EQ(o.headers, (std::vector<pair>{{"X-Device", "box 1"}, {"Referer", ""}}));
    Options no_colon, file, settings;
    EXPECT_EQ(parse({"groups", "--header", "X-Device"}, no_colon), "option --header takes 'Name: value'");
    const std::string rule = "--user-agent and --header go with --url or the default playlist";
    EXPECT_EQ(parse({"groups", "--file", "a.m3u", "--user-agent", "x"}, file), rule);
    EXPECT_EQ(parse({"groups", "--settings", "{}", "--header", "A: b"}, settings), rule);
}

TEST(Args, CheckTakesGroupsAndItsBounds) {
    Options o;
    ASSERT_EQ(parse({"check", "News", "Kids", "--jobs", "256", "--timeout=3600", "--write-live", "l.m3u"}, o), "");
    EXPECT_EQ(o.operands, (std::vector<std::string>{"News", "Kids"}));
    EXPECT_EQ(o.jobs, 256);
    EXPECT_EQ(o.timeout_ms, 3600000u);
    EXPECT_EQ(o.write_live, "l.m3u");
    const std::string jobs = "option --jobs takes a number from 1 to 256";
    const std::string seconds = "option --timeout takes seconds from 0.1 to 3600";
    const std::pair<std::vector<const char *>, std::string> cases[] = {
        {{"--jobs", "255"}, ""}, {{"--jobs", "257"}, jobs}, {{"--jobs", "4000000000"}, jobs},
        {{"--jobs", "0"}, jobs}, {{"--jobs", "8x"}, jobs}, {{"--timeout", "3599"}, ""},
        {{"--timeout", "3600.1"}, seconds}, {{"--timeout", "1e300"}, seconds}, {{"--timeout", "0.1"}, ""},
        {{"--timeout", "0.09"}, seconds}, {{"--timeout", "nan"}, seconds}};
    for (const auto &[option, message] : cases) {
        Options c;
        EXPECT_EQ(parse({"check", option[0], option[1]}, c), message) << option[0] << " " << option[1];
    }
    Options groups;
    EXPECT_EQ(parse({"groups", "--jobs", "2"}, groups), "option --jobs is not accepted by groups");
}

TEST(Args, HelpWinsAndVersionStandsAlone) {
    Options help, version;
    ASSERT_EQ(parse({"-h", "play", "a", "b"}, help), "");
    EXPECT_EQ(help.command, Command::help);
    ASSERT_EQ(parse({"--version"}, version), "");
    EXPECT_EQ(version.command, Command::version);
}

struct Operands {
    std::vector<const char *> words;
    std::vector<std::string> operands;
};

class ArgsOperands : public testing::TestWithParam<Operands> {};

TEST_P(ArgsOperands, MayBeginWithADash) {
    Options o;
    ASSERT_EQ(parse(GetParam().words, o), "");
    EXPECT_EQ(o.operands, GetParam().operands);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArgsOperands,
    testing::Values(Operands{{"channels", "-Sport-"}, {"-Sport-"}},
                    Operands{{"channels", "--", "-Sport-"}, {"-Sport-"}},
                    Operands{{"search", "--json", "--", "--json"}, {"--json"}},
                    Operands{{"--", "channels", "--"}, {"--"}}, Operands{{"channels", "-"}, {"-"}}));

struct Refused {
    std::vector<const char *> words;
    const char *message_part;
};

class ArgsRefused : public testing::TestWithParam<Refused> {};

TEST_P(ArgsRefused, WithAMessage) {
    Options o;
    std::string msg = parse(GetParam().words, o);
    EXPECT_NE(msg.find(GetParam().message_part), std::string::npos) << msg;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArgsRefused,
    testing::Values(Refused{{}, "no command"}, Refused{{"plya"}, "unknown command 'plya'"},
                    Refused{{"channels"}, "takes 1 argument"}, Refused{{"groups", "extra"}, "takes 0 argument"},
                    Refused{{"groups", "--url"}, "needs a value"}, Refused{{"groups", "--", "--json"}, "takes 0"},
                    Refused{{"groups", "-json"}, "takes 0"}, Refused{{"groups", "--colour", "x"}, "unknown option"},
                    Refused{{"groups", "--url", "u", "--file", "f"}, "one source"},
                    Refused{{"resolve", "x", "--player", "totem"}, "unknown player"},
                    Refused{{"inspect", "f", "--format", "xspf"}, "unknown format"},
                    Refused{{"groups", "--player", "mpv"}, "option --player is not accepted by groups"},
                    Refused{{"inspect", "f", "--url", "http://h/"}, "option --url is not accepted by inspect"},
                    Refused{{"validate", "--charset", "gbk"}, "option --charset is not accepted by validate"},
                    Refused{{"resolve", "x", "--player", "mpv", "--json"}, "exclude each other"},
                    Refused{{"play", "x", "--json"}, "option --json is not accepted by play"},
                    Refused{{"play", "x", "--player", "totem"}, "unknown player"},
                    Refused{{"play", "x", "y", "--", "z"}, "play takes 1 argument(s), 2 given"},
                    Refused{{"resolve", "x", "--player-arg", "--fs"}, "--player-arg goes with --player"},
                    Refused{{"groups", "--player-arg", "--fs"}, "option --player-arg is not accepted by groups"},
                    Refused{{"groups", "--json=yes"}, "option --json takes no value"}));

}  // namespace
