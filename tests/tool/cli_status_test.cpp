// vqiptv's exit statuses and messages, local files of every kind, corpus
// playlists, and output that fits the terminal.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "layout.h"
#include "library_docs.h"
#include "render.h"
#include "run_tool.h"
#include "text_check.h"

namespace {

struct Failure {
    std::vector<std::string> args;
    int exit;
    const char *message_part;
};

class ToolFailure : public testing::TestWithParam<Failure> {};

TEST_P(ToolFailure, ExitsWithItsClassAndSaysWhy) {
    const Failure &f = GetParam();
    std::vector<std::string> args = f.args;
    for (std::string &a : args)
        if (a == "SAMPLE") a = sample_path();
    ToolRun r = run_tool(args);
    EXPECT_EQ(r.exit, f.exit) << r.err;
    EXPECT_NE(r.err.find(f.message_part), std::string::npos) << r.err;
    EXPECT_EQ(r.err.rfind("vqiptv: ", 0), 0u) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Usage, ToolFailure,
    testing::Values(Failure{{}, 2, "no command given\nTry 'vqiptv --help'."},
                    Failure{{"plya"}, 2, "unknown command"},
                    Failure{{"help", "plya"}, 2, "unknown command 'plya'"},
                    Failure{{"channels", "--file", "SAMPLE"}, 2, "channels takes 1 argument"},
                    Failure{{"groups", "--file"}, 2, "needs a value"},
                    Failure{{"resolve", "x", "--player", "kodi"}, 2, "unknown player"},
                    Failure{{"inspect", "SAMPLE", "--charset", "nope"}, 2, "unknown character set: nope\n"}));

INSTANTIATE_TEST_SUITE_P(
    Library, ToolFailure,
    testing::Values(Failure{{"channels", "Weather", "--file", "SAMPLE"}, 3,
                            "folder not found: no group \"Weather\" ('vqiptv groups' lists them)\n"},
                    Failure{{"channels", "news", "--file", "SAMPLE"}, 3,
                            "folder not found: no group \"news\"; did you mean \"News\"?\n"},
                    Failure{{"channels", "Muisc", "--file", "SAMPLE"}, 3, "did you mean \"Music\"?\n"},
                    Failure{{"channels", "Weather/", "--file", "SAMPLE"}, 3,
                            "folder not found: no group \"Weather\" ('vqiptv groups' lists them)\n"},
                    Failure{{"channels", "muisc/", "--file", "SAMPLE"}, 3, "no group \"muisc\"; did you mean \"Music\"?\n"},
                    Failure{{"search", "zzz", "--file", "SAMPLE"}, 3, "no channel matches \"zzz\"\n"},
                    Failure{{"inspect", "SAMPLE", "--format", "cue"}, 5,
                            "sample.m3u read as cue gives nothing usable (45 warnings)\n"},
                    Failure{{"resolve", "ffffffffffffffff", "--file", "SAMPLE"}, 3, "entry id not found"},
                    Failure{{"resolve", "not-an-id", "--file", "SAMPLE"}, 3, "entry id not found"}));

INSTANTIATE_TEST_SUITE_P(
    Files, ToolFailure,
    testing::Values(Failure{{"groups", "--file", "/nonexistent/list.m3u"}, 3, "No such file or directory"},
                    Failure{{"inspect", "/nonexistent/list.m3u"}, 3, "cannot read /nonexistent/list.m3u"},
                    Failure{{"groups", "--file", "/"}, 6, "cannot read /: Is a directory"}));

TEST(ToolFiles, DashReadsStandardInput) {
    ToolRun piped = run_tool_with_input({"channels", "News", "--file", "-"}, sample_path());
    EXPECT_EQ(piped.exit, 0) << piped.err;
    EXPECT_EQ(piped.out, run_tool({"channels", "News", "--file", sample_path()}).out);
    ToolRun empty = run_tool_with_input({"groups", "--file", "-"}, "/dev/null");
    EXPECT_EQ(empty.exit, 5);
    EXPECT_NE(empty.err.find(" standard input"), std::string::npos) << empty.err;
    EXPECT_EQ(empty.err.find("file.invalid"), std::string::npos) << empty.err;
}

struct Unusable {
    const char *name, *bytes;
    const char *message;  // after "vqiptv: "; PATH stands for the file's path
    const char *format;   // the first line inspect prints
};

// A file that is no M3U playlist is unusable content, named by its path and
// never by the URL the tool serves it under; inspect still shows its format.
TEST(ToolFiles, FilesThatAreNoPlaylistAreUnusableContent) {
    const Unusable rows[] = {
        {"notes.txt", "Shopping list\nmilk\nbread\n", "not an M3U playlist: unknown playlist format",
         "Format: unknown\n"},
        {"media.m3u8", "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:10\n#EXTINF:10.0,\nseg0.ts\n#EXT-X-ENDLIST\n",
         "not an M3U playlist: HLS manifest detected; not parsed as playlist items", "Format: m3u8-hls\n"},
        {"empty.m3u", "", "empty body from PATH", "Format: unknown\n"},
    };
    for (const Unusable &u : rows) {
        SCOPED_TRACE(u.name);
        std::string path = temp_file(u.name, u.bytes), message = u.message;
        if (size_t at = message.find("PATH"); at != std::string::npos) message.replace(at, 4, path);
        ToolRun r = run_tool({"groups", "--file", path});
        EXPECT_EQ(r.exit, 5);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "vqiptv: " + message + "\n");
        ToolRun inspected = run_tool({"inspect", path});
        EXPECT_EQ(inspected.exit, 5) << inspected.err;
        EXPECT_EQ(inspected.out.rfind(u.format, 0), 0u) << inspected.out;
    }
}

TEST(ToolFiles, Utf16PlaylistsBrowseLikeTheirUtf8Original) {
    std::string original = read_all(sample_path());
    ToolRun expected = run_tool({"channels", "News", "--file", sample_path()});
    for (bool little : {true, false}) {
        std::string path = temp_file(little ? "le.m3u" : "be.m3u", utf16(original, little));
        ToolRun r = run_tool({"channels", "News", "--file", path});
        EXPECT_EQ(r.exit, 0) << r.err;
        EXPECT_EQ(r.out, expected.out) << (little ? "UTF-16LE" : "UTF-16BE");
    }
}

TEST(ToolFiles, InspectDecodesACharsetOnRequest) {
    std::string latin1 = temp_file("latin1.m3u", "#EXTM3U\n#EXTINF:-1,Caf\xE9 T\xE9l\xE9\nhttp://h.example/c.m3u8\n");
    ToolRun r = run_tool({"inspect", latin1, "--charset", "latin1", "--json"});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.out.find("\"title\":\"Caf\xC3\xA9 T\xC3\xA9l\xC3\xA9\""), std::string::npos) << r.out;
}

TEST(ToolFiles, InspectSummarisesWarningsByKind) {
    std::string odd = corpus_path("oddities/1e0d6d0977/unsorted.m3u");
    ToolRun r = run_tool({"inspect", odd});
    EXPECT_EQ(r.exit, 0) << r.err;
    size_t at = r.out.find("\nWarnings: ");
    ASSERT_NE(at, std::string::npos) << r.out.substr(0, 400);
    EXPECT_NE(r.out.find("m3u: ", at), std::string::npos) << r.out.substr(at);
}

// Corpus playlists browsed end to end: root, first group, first channel.
class ToolCorpus : public testing::TestWithParam<const char *> {};

TEST_P(ToolCorpus, BrowsesAndResolvesLikeTheLibrary) {
    std::string path = corpus_path(GetParam());
    ToolRun root = run_tool({"groups", "--file", path, "--json"});
    ASSERT_EQ(root.exit, 0) << root.err;
    vqt::Answer doc = library_list(path, "/");
    EXPECT_EQ(root.out, doc.doc + "\n");
    std::vector<vqt::Entry> entries;
    ASSERT_TRUE(vqt::read_listing(doc.doc, entries));
    ASSERT_FALSE(entries.empty());
    ToolRun people = run_tool({"groups", "--file", path});
    std::string count = std::to_string(entries.size()) + (entries[0].folder ? " group" : " channel");
    EXPECT_NE(people.out.find("\n" + count), std::string::npos) << count;
    if (entries[0].folder) {
        std::string group = entries[0].path;
        ToolRun channels = run_tool({"channels", group.substr(1), "--file", path, "--json"});
        EXPECT_EQ(channels.exit, 0) << channels.err;
        entries.clear();
        ASSERT_TRUE(vqt::read_listing(channels.out, entries));
    }
    ToolRun stream = run_tool({"resolve", entries[0].id, "--file", path});
    EXPECT_EQ(stream.exit, 0) << stream.err;
    EXPECT_EQ(stream.out.rfind("URL:        " + vqt::printable(entries[0].stream_url) + "\n", 0), 0u) << stream.out;
}

INSTANTIATE_TEST_SUITE_P(Playlists, ToolCorpus,
                         testing::Values("pages-2023-01/index.category.m3u", "streams-2023-01/fr_euronews.m3u",
                                         "channels-2019-05/de.m3u", "channels-2021-06/jp.m3u",
                                         "oddities/e21f4dfc8d/us.m3u", "oddities/ce0a5ad6d5/gt.m3u"));

TEST(ToolOutput, TablesFitTheTerminalWidth) {
    for (size_t width : {40u, 60u, 100u}) {
        ToolRun r = run_tool({"channels", "News", "--file", sample_path()}, {"COLUMNS=" + std::to_string(width)});
        ASSERT_EQ(r.exit, 0) << r.err;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) EXPECT_LE(vqt::display_width(line), width) << line;
        EXPECT_NE(r.out.find("\xE2\x80\xA6"), std::string::npos) << "long URLs are shortened";
    }
}

TEST(ToolOutput, WithoutATerminalNothingIsShortened) {
    ToolRun r = run_tool({"channels", "News", "--file", sample_path()});
    EXPECT_EQ(r.out.find("\xE2\x80\xA6"), std::string::npos);
    EXPECT_NE(r.out.find("https://securecontributions.sechls01.visionip.tv/live/securecontributions-"
                         "securecontributions-92_news-hsslive-25f-16x9-SD/chunklist.m3u8"),
              std::string::npos);
}

TEST(ToolOutput, HelpDocumentsCommandsAndExitStatuses) {
    ToolRun r = run_tool({"--help"});
    EXPECT_EQ(r.exit, 0);
    for (const char *part : {"groups", "channels GROUP", "resolve ID", "--player mpv|ffplay|vlc", "inspect FILE",
                             "Exit status:", "3  not found", "4  network failure", "10 the player failed",
                             "11 no player found"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part;
    EXPECT_EQ(run_tool({"--version"}).out, "vqiptv 1.1.0\n");
}

TEST(ToolOutput, HelpOnACommandPrintsItsEntryOnly) {
    ToolRun r = run_tool({"help", "search"});
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.out,
              "  search TEXT            list the channels whose name, tvg-name or group holds\n"
              "                         TEXT, letter case and accents aside, across all groups\n"
              "\nSources, options and exit statuses: vqiptv --help\n");
    EXPECT_EQ(run_tool({"help", "version"}).out.rfind("  help [COMMAND], version\n", 0), 0u);
}

TEST(ToolOutput, TheOfflineExamplesOfTheHelpWork) {
    std::istringstream help(run_tool({"--help"}).out);
    int examples = 0;
    for (std::string line; std::getline(help, line);) {
        if (line.rfind("  vqiptv ", 0) != 0 || line.find("--file samples/sample.m3u") == std::string::npos) continue;
        std::vector<std::string> words;
        std::istringstream in(line.substr(9));
        for (std::string w; in >> w;) words.push_back(w == "samples/sample.m3u" ? sample_path() : w);
        ToolRun r = run_tool(words);
        EXPECT_EQ(r.exit, 0) << line << "\n" << r.err;
        ++examples;
    }
    EXPECT_EQ(examples, 4);
}

}  // namespace
