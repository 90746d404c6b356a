// Every playlist of the real corpus parses without an error; a few are checked
// entry by entry.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "parser_test_util.h"

using namespace ptest;
namespace fs = std::filesystem;

TEST(ParserCorpus, EveryPlaylistParses) {
    int files = 0;
    for (const auto &e : fs::recursive_directory_iterator(QVX_CORPUS_DIR)) {
        if (!e.is_regular_file() || e.path().extension() != ".m3u") continue;
        ++files;
        SCOPED_TRACE(e.path().string());
        EXPECT_EQ(vqplp_parse_file(e.path().string().c_str()), 0) << vqplp_last_error();
        EXPECT_EQ(vqplp_detected_format(), VQPLP_FMT_M3U);
        EXPECT_STRNE(vqplp_result_json(), "{}");
    }
    EXPECT_EQ(files, 729);
}

namespace {

struct Attr {
    const char *key, *value;
};

struct Entry {
    int index;
    const char *title, *location;
    int32_t duration_ms;
    std::vector<Attr> attrs;
};

struct Expect {
    const char *file;
    int32_t items;
    std::vector<Entry> entries;
};

}  // namespace

TEST(ParserCorpus, SelectedPlaylists) {
    const Expect cases[] = {
        {"oddities/e21f4dfc8d/us.m3u",
         3464,  // CR LF line ends
         {{0,
           "11 MyTV (KOTR-LD) (480i)",
           "https://cdnapisec.kaltura.com/p/2630451/sp/2630451/playManifest/entryId/1_hq4vlk40/deliveryProfileId/672/"
           "protocol/https/format/applehttp/a.m3u8",
           -1,
           {{"tvg-id", "KOTR-LD.us"},
            {"tvg-name", "11 MyTV (KOTR-LD)"},
            {"tvg-country", "US"},
            {"tvg-language", "English"},
            {"tvg-logo", "https://upload.wikimedia.org/wikipedia/en/b/bd/Kotrlp.jpg"},
            {"group-title", "Local"}}},
          {1,
           "13th Street (Poland)",
           "http://91.218.60.3:8001/play/a004",
           -1,
           {{"tvg-language", "Polish;English"}, {"tvg-logo", ""}, {"group-title", "Entertainment"}}}}},
        {"oddities/15669707f3/ph.m3u",
         2,  // duration 0, title after ", "
         {{0,
           "ABS-CBN",
           "http://185.246.209.218:80/philbrousseau@hotmail.com/c6u4UIw55z/29702",
           0,
           {{"group-title", "Phillippines(Pilipinas)"}}},
          {1,
           "UNTV Public",
           "https://untv.mmdlive.lldns.net/untv/71b244db6e8f4c93a68737f025340f8f/chunklist_b2592000.m3u8",
           0,
           {}}}},
        {"oddities/06b953a457/nl.m3u",
         20,  // a U+FEFF inside a title stays
         {{1, "Meer T\xEF\xBB\xBFV", nullptr, -1, {{"group-title", "Netherlands"}, {"tvg-id", ""}}}}},
        {"oddities/ce0a5ad6d5/gt.m3u",
         8,  // a space before the title comma
         {{0,
           "Canal 3",
           "https://devdbm9fvg6q0.cloudfront.net/chapintv/smil:canal3.smil/playlist.m3u8",
           -1,
           {{"tvg-id", "Canal3.gt"}, {"group-title", ""}}},
          {3, "Canal Antigua Guatemala (1080p) [Not 24/7]", nullptr, -1, {{"tvg-logo", ""}}}}},
        {"oddities/1e0d6d0977/unsorted.m3u", 1762, {{0, "LTV1", nullptr, -1, {{"group-title", ""}}}}},
        {"channels-2019-05/ae.m3u", 72, {}},
        {"streams-2023-01/ad.m3u", 1, {}},
    };
    for (const Expect &c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_EQ(vqplp_parse_file((std::string(QVX_CORPUS_DIR) + "/" + c.file).c_str()), 0);
        EXPECT_EQ(vqplp_item_count(), c.items);
        for (const Entry &e : c.entries) {
            SCOPED_TRACE(e.index);
            EXPECT_STREQ(vqplp_item_title(e.index), e.title);
            if (e.location) {
                EXPECT_STREQ(vqplp_item_location(e.index), e.location);
            }
            EXPECT_EQ(vqplp_item_duration_ms(e.index), e.duration_ms);
            for (const Attr &a : e.attrs) EXPECT_STREQ(vqplp_item_attr(e.index, a.key), a.value) << a.key;
        }
    }
}
