// A playlist split into its entries gives each channel the id the library
// gives it, duplicates and repaired texts included, and each entry its own
// lines byte for byte.
#include "playlist_entries.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "check_report.h"
#include "library_docs.h"
#include "render.h"
#include "run_tool.h"

namespace {

// Every channel id the library lists for the playlist at path, at the root
// and in every group.
std::set<std::string> library_ids(const std::string &path) {
    std::vector<vqt::Entry> top, all;
    vqt::Answer root = library_list(path, "/");
    EXPECT_TRUE(root.ok() && vqt::read_listing(root.doc, top)) << root.error;
    for (const vqt::Entry &e : top)
        if (e.folder) EXPECT_TRUE(vqt::read_listing(library_list(path, e.path).doc, all));
        else all.push_back(e);
    std::set<std::string> ids;
    for (const vqt::Entry &e : all) ids.insert(e.id);
    return ids;
}

std::set<std::string> split_ids(const vqt::PlaylistEntries &entries) {
    std::set<std::string> ids;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries.channel(i)) ids.insert(vqt::id_text(entries.id(i)));
    return ids;
}

TEST(PlaylistEntries, OfCorpusPlaylistsHaveTheLibrarysIds) {
    for (const char *name : {"oddities/1e0d6d0977/unsorted.m3u", "oddities/e21f4dfc8d/us.m3u",
                             "pages-2023-01/index.category.m3u", "channels-2019-05/ae.m3u"}) {
        std::string bytes = read_all(corpus_path(name));
        ASSERT_FALSE(bytes.empty()) << name;
        vqt::PlaylistEntries entries(bytes);
        ASSERT_EQ(entries.error(), "") << name;
        EXPECT_EQ(split_ids(entries), library_ids(corpus_path(name))) << name;
        EXPECT_EQ(entries.head().substr(0, 7), "#EXTM3U") << name;
    }
}

TEST(PlaylistEntries, KeepEachEntrysLinesAndTellChannelsApart) {
    const std::string head = "banner line\r\n\xEF\xBB\xBF#EXTM3U url-tvg=\"http://g.example/e.xml\"\r\n";
    const std::string lines[] = {
        "#EXTINF:-1 tvg-id=\"a.tv\" group-title=\"News\",A\r\n#EXTVLCOPT:http-user-agent=UA\r\nhttp://s.example/a\r\n",
        "\n#EXTINF:-1,Relative\nrelative/b.ts\n",
        "#EXTINF:-1 TVG-ID=\"\" tvg-id=\"other\" group-title=\"Kids\",A again\nhttp://s.example/a\n",
        "#EXTINF:-1 group-title=\"News\",Overlong\nhttp://s.example/\xC0\xAF\n",
        "#EXTINF:-1 tvg-id=\"a.tv\" group-title=\"Sport\",A elsewhere\nhttp://s.example/a",
    };
    std::string text = head;
    for (const std::string &l : lines) text += l;
    vqt::PlaylistEntries entries(text);
    ASSERT_EQ(entries.error(), "");
    EXPECT_EQ(entries.head(), head);
    ASSERT_EQ(entries.size(), std::size(lines));
    for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(entries.lines(i), lines[i]) << i;
    EXPECT_FALSE(entries.channel(1));
    EXPECT_EQ(entries.id(0), entries.id(4)) << "the same location and tvg-id";
    EXPECT_NE(entries.id(0), entries.id(2)) << "an empty TVG-ID first is the tvg-id";
    EXPECT_EQ(split_ids(entries), library_ids(temp_file("entries.m3u", text)));
}

TEST(PlaylistEntries, RefuseTextsThatAreNoM3u) {
    EXPECT_EQ(vqt::PlaylistEntries("[playlist]\nFile1=http://s.example/a\n").error(), "it is not an M3U playlist");
    EXPECT_EQ(vqt::PlaylistEntries("#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\ns.ts\n").error(),
              "it is not an M3U playlist");
}

}  // namespace
