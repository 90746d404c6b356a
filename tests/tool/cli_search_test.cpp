// Names as people type them: `search` across a whole playlist, letter case
// and accents aside, and group names holding "/", which the listing writes
// with "∕", or ending in the "/" a shell's completion leaves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library_docs.h"
#include "render.h"
#include "run_tool.h"

namespace {

const char *const kPlaylist =
    "#EXTM3U\n"
    "#EXTINF:-1 group-title=\"Música\",Canal Uno\nhttp://a.example/1.m3u8\n"
    "#EXTINF:-1 tvg-name=\"ΕΡΤ Ειδήσεις\" group-title=\"News/Politics\",ERT News\nhttp://a.example/2.m3u8\n"
    "#EXTINF:-1 group-title=\"Música\",Радио Шансон\nhttp://a.example/3.m3u8\n"
    "#EXTINF:-1 group-title=\"Kids\",Toons 24/7\nhttp://a.example/4.m3u8\n";

std::vector<std::string> names_found(const std::string &path, const std::string &text) {
    ToolRun r = run_tool({"search", text, "--file", path, "--json"});
    std::vector<vqt::Entry> entries;
    EXPECT_TRUE(vqt::read_listing(r.out, entries)) << text << ": " << r.out << r.err;
    std::vector<std::string> names;
    for (const vqt::Entry &e : entries) names.push_back(e.name);
    return names;
}

TEST(ToolSearch, MatchesNameTvgNameOrGroupLetterCaseAside) {
    struct Case {
        const char *text;
        std::vector<std::string> names;
    };
    std::string path = temp_file("search.m3u", kPlaylist);
    for (const Case &c : {Case{"MÚSICA", {"Canal Uno", "Радио Шансон"}},  // group
                          Case{"musica", {"Canal Uno", "Радио Шансон"}},  // accents aside
                          Case{"ερτ ειδησεις", {"ERT News"}},
                          Case{"ειδήσεις", {"ERT News"}},                   // tvg-name
                          Case{"РАДИО ш", {"Радио Шансон"}},                // name
                          Case{"news/pol", {"ERT News"}},                   // a group with "/"
                          Case{"24/7", {"Toons 24\xE2\x88\x95" "7"}},        // "/" as the listing writes it
                          Case{"24\xE2\x88\x95" "7", {"Toons 24\xE2\x88\x95" "7"}},
                          Case{"", {"Canal Uno", "Радио Шансон", "ERT News", "Toons 24\xE2\x88\x95" "7"}}})
        EXPECT_EQ(names_found(path, c.text), c.names) << c.text;
}

TEST(ToolSearch, JsonHoldsTheLibrarysEntriesAndATableIsForPeople) {
    // "music" is found in one group only, and in all of its channels.
    ToolRun json = run_tool({"search", "MUSIC", "--file", sample_path(), "--json"});
    EXPECT_EQ(json.exit, 0) << json.err;
    EXPECT_EQ(json.out, library_list(sample_path(), "/Music").doc + "\n");
    ToolRun people = run_tool({"search", "mooz", "--file", sample_path()});
    EXPECT_EQ(people.out,
              "GROUP  NAME              ID\n"
              "Music  MoozDance (576p)  806613f80a4ae992\n"
              "Music  MoozHits (576p)   27716550b7623325\n"
              "2 channels\n");
    ToolRun none = run_tool({"search", "zzz", "--file", sample_path(), "--json"});
    EXPECT_EQ(none.exit, 3);
    EXPECT_EQ(none.out, "[]\n");
}

TEST(ToolNames, AGroupWithASlashIsShownAsListedAndTakenBackEitherWay) {
    std::string path = temp_file("slash.m3u", kPlaylist);
    std::string groups = run_tool({"groups", "--file", path}).out;
    EXPECT_NE(groups.find("\nNews\xE2\x88\x95Politics "), std::string::npos) << groups;
    EXPECT_EQ(groups.find("News/Politics"), std::string::npos) << groups;
    for (const char *spelling : {"News/Politics", "News\xE2\x88\x95Politics", "/News/Politics", "News/Politics/",
                                 "/News\xE2\x88\x95Politics//"}) {
        ToolRun r = run_tool({"channels", spelling, "--file", path});
        EXPECT_EQ(r.exit, 0) << spelling << ": " << r.err;
        EXPECT_NE(r.out.find("ERT News"), std::string::npos) << spelling;
    }
}

}  // namespace
