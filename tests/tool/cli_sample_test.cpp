// Every command of vqiptv on the repository's sample playlist, for people and
// with --json, checked against the documents the library answers itself.
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <cctype>
#include <string>
#include <vector>

#include "library.h"
#include "library_docs.h"
#include "render.h"
#include "run_tool.h"
#include "text_check.h"

namespace {

// Runs of blanks as one space, so table columns compare without their padding.
std::string squeeze(const std::string &s) {
    std::string out;
    for (char c : s)
        if (c != ' ' || out.empty() || out.back() != ' ') out += c;
    return out;
}


std::vector<vqt::Entry> listing(const std::string &folder) {
    vqt::Answer a = library_list(sample_path(), folder);
    std::vector<vqt::Entry> entries;
    EXPECT_TRUE(a.ok()) << a.error;
    EXPECT_TRUE(vqt::read_listing(a.doc, entries));
    return entries;
}

std::string id_of(const std::string &folder, const std::string &name_prefix) {
    for (const vqt::Entry &e : listing(folder))
        if (e.name.rfind(name_prefix, 0) == 0) return e.id;
    ADD_FAILURE() << name_prefix << " not in " << folder;
    return "";
}

ToolRun on_sample(std::vector<std::string> args) {
    args.push_back("--file");
    args.push_back(sample_path());
    return run_tool(args);
}

TEST(ToolOnSample, GroupsShowsEachGroupWithItsCount) {
    ToolRun r = on_sample({"groups"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::string out = squeeze(r.out);
    EXPECT_EQ(out.rfind("GROUP CHANNELS\n", 0), 0u) << r.out;
    for (const vqt::Entry &e : listing("/"))
        EXPECT_NE(out.find("\n" + e.name + " " + std::to_string(e.count) + "\n"), std::string::npos) << e.name;
    EXPECT_NE(out.find("\n6 groups, 19 channels\n"), std::string::npos) << r.out;
}

TEST(ToolOnSample, ChannelsShowsNameIdAndStreamUrl) {
    for (const std::string group : {"News", "/Music"}) {
        ToolRun r = on_sample({"channels", group});
        ASSERT_EQ(r.exit, 0) << r.err;
        std::string out = squeeze(r.out);
        std::vector<vqt::Entry> entries = listing(group);
        ASSERT_FALSE(entries.empty());
        for (const vqt::Entry &e : entries)
            EXPECT_NE(out.find(squeeze(e.name + " " + e.id + " " + e.stream_url)), std::string::npos) << e.name;
        EXPECT_NE(out.find(std::to_string(entries.size()) + " channels\n"), std::string::npos);
    }
}

TEST(ToolOnSample, ResolveShowsTheUrlAndOnlyTheHeadersToSend) {
    ToolRun referrer = on_sample({"resolve", id_of("/Music", "MoozDance")});
    ASSERT_EQ(referrer.exit, 0) << referrer.err;
    EXPECT_EQ(referrer.out,
              "URL:        https://rtmp.digitalbroadcast.ro/moozdance/moozdance.m3u8\n"
              "Referer:    https://mooz.tv/\n");
    ToolRun both = on_sample({"resolve", id_of("/Undefined", "WGN")});
    EXPECT_NE(both.out.find("\nUser-Agent: Mozilla/5.0 (Macintosh; Intel Mac OS X 10_14_6)"), std::string::npos);
    EXPECT_NE(both.out.find("\nReferer:    https://plus.teleup.com/\n"), std::string::npos) << both.out;
    ToolRun none = on_sample({"resolve", id_of("/News", "7NN")});
    EXPECT_NE(none.out.find("(no headers to send)"), std::string::npos) << none.out;
}

TEST(ToolOnSample, ResolveWritesAPlayerCommandLine) {
    ToolRun r = on_sample({"resolve", id_of("/Music", "MoozHits"), "--player", "mpv"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "mpv --referrer=https://mooz.tv/ https://rtmp.digitalbroadcast.ro/moozhits/moozhits.m3u8\n");
    ToolRun vlc = on_sample({"resolve", id_of("/Undefined", "WGN"), "--player", "vlc"});
    EXPECT_EQ(vlc.out.rfind("vlc https://cdn1-8p.teleuptv.net/3773db6d-881b-4096-b9cc-b4fe99ab68ac/index.m3u8 "
                            ":http-user-agent='Mozilla/5.0 (Macintosh;",
                            0),
              0u)
        << vlc.out;
}

TEST(ToolOnSample, ValidateShowsTheCompletedSettings) {
    ToolRun r = on_sample({"validate"});
    ASSERT_EQ(r.exit, 0) << r.err;
    rapidjson::Document d;
    ASSERT_FALSE(d.Parse(r.out.c_str()).HasParseError()) << r.out;
    EXPECT_STREQ(d["RuntimeType"].GetString(), "IPTV");
    EXPECT_EQ(d["URL"].GetString(), vqt::file_url(sample_path()));
    EXPECT_TRUE(is_uuid4(d["ID"].GetString())) << d["ID"].GetString();
    EXPECT_NE(r.out.find("\n  \"RuntimeType\": \"IPTV\""), std::string::npos) << "indented for people";
}

TEST(ToolOnSample, StatsShowOneDownloadAndOneParse) {
    ToolRun r = on_sample({"stats", "--json"});
    ASSERT_EQ(r.exit, 0) << r.err;
    rapidjson::Document d;
    ASSERT_FALSE(d.Parse(r.out.c_str()).HasParseError()) << r.out;
    EXPECT_EQ(d["cache"]["misses"].GetInt(), 1);
    EXPECT_EQ(d["cache"]["parses"].GetInt(), 1);
    EXPECT_EQ(d["cache"]["entries"].GetInt(), 1);
    EXPECT_EQ(d["http"]["requests"].GetInt(), 1);
    EXPECT_EQ(d["fake"]["calls"].GetInt(), 1);
    ToolRun people = on_sample({"stats"});
    EXPECT_NE(squeeze(people.out).find("cache\n hits 0\n misses 1\n"), std::string::npos) << people.out;
}

TEST(ToolOnSample, StatsWithoutASourceAreThoseOfAFreshLibrary) {
    ToolRun r = run_tool({"stats"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(squeeze(r.out).find("\n max_age_s 21600\nhttp\n requests 0\n"), std::string::npos) << r.out;
}

TEST(ToolOnSample, InspectShowsFormatItemsAndGroups) {
    ToolRun r = run_tool({"inspect", sample_path()});
    ASSERT_EQ(r.exit, 0) << r.err;
    std::string out = squeeze(r.out);
    EXPECT_EQ(out.rfind("Format: m3u\nItems: 19\n", 0), 0u) << r.out;
    EXPECT_NE(out.find("\n # TITLE GROUP LOCATION\n"), std::string::npos) << r.out;
    EXPECT_NE(out.find("\n 5 Tele Liban (720p) [Not 24/7] General https://cdn.catiacast.video/"), std::string::npos);
}

TEST(ToolJson, PrintsTheLibrarysDocumentsAsTheyAre) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> lists = {
        {{"groups"}, "/"}, {{"channels", "News"}, "/News"}, {{"channels", "/Sports"}, "/Sports"}};
    for (const auto &[args, folder] : lists) {
        ToolRun r = on_sample([&] { auto a = args; a.push_back("--json"); return a; }());
        EXPECT_EQ(r.exit, 0) << r.err;
        EXPECT_EQ(r.out, library_list(sample_path(), folder).doc + "\n") << folder;
    }
    std::string id = id_of("/Undefined", "WGN");
    EXPECT_EQ(on_sample({"resolve", id, "--json"}).out, library_resolve(sample_path(), id).doc + "\n");
    EXPECT_EQ(run_tool({"inspect", sample_path(), "--json"}).out, library_parse(sample_path()) + "\n");
}

TEST(ToolJson, ValidateAnswersTheCallersSettingsCompleted) {
    ToolRun r = on_sample({"validate", "--json"});
    ASSERT_EQ(r.exit, 0) << r.err;
    rapidjson::Document d;
    ASSERT_FALSE(d.Parse(r.out.c_str()).HasParseError()) << r.out;
    std::vector<std::string> keys;
    for (const auto &m : d.GetObject()) keys.emplace_back(m.name.GetString());
    EXPECT_EQ(keys, (std::vector<std::string>{"URL", "RuntimeType", "ID"}));
    EXPECT_EQ(r.out.find_first_of(" \n"), r.out.size() - 1) << "compact, as the library writes it";
}

TEST(ToolJson, FailuresPrintTheErrorDocument) {
    ToolRun r = on_sample({"channels", "Weather", "--json"});
    EXPECT_EQ(r.exit, 3);
    EXPECT_EQ(r.out, "{\"error\":\"folder not found\"}\n");
    EXPECT_EQ(r.err, "vqiptv: folder not found: no group \"Weather\" ('vqiptv groups' lists them)\n");
}

}  // namespace
