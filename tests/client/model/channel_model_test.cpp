// parse_body: which entries become channels, how they are grouped, listed and
// identified, and which bodies are refused.
#include <gtest/gtest.h>

#include <string>

#include "model_support.h"
#include "playlist_parser/vqplp.h"
#include "source_client/api/cache_exports.h"
#include "source_client/cache/cache.h"
#include "source_client/model/model_build.h"
#include "source_client/util/limits.h"
#include "text_check.h"

using namespace vqc;

using namespace std::string_literals;

namespace {

struct model_case {
    const char *why;
    std::string text;
    const char *channels;  // "name@group" in playlist order
    const char *listed;    // see listing()
    int32_t skipped;
    int32_t duplicates;
};

const model_case kCases[] = {
    {"the title, else tvg-name, else the location names a channel",
     "#EXTM3U\n#EXTINF:-1 tvg-name=\"X\",\nhttp://a/1\n#EXTINF:-1,\nhttp://a/2\n#EXTINF:-1 tvg-name=\"T\",Title\n"
     "http://a/3\n",
     "X@- http://a/2@- Title@-", "[0,1,2]", 0, 0},
    {"an #EXTINF without a comma, and a location without an #EXTINF, are named after it",
     "#EXTM3U\n#EXTINF:-1  Video\nhttp://a/1\nhttp://a/2\n", "http://a/1@- http://a/2@-", "[0,1]", 0, 0},
    {"relative and empty locations are skipped",
     "#EXTM3U\n#EXTINF:-1,Rel\nchannel.ts\n#EXTINF:-1,Abs\nrtmp://h/app\n#EXTINF:-1,Host with space\nhttp://a b/\n",
     "Abs@-", "[0]", 2, 0},
    {"a ClearKey key line left after a #KODIPROP is no channel",
     "#EXTM3U\n#KODIPROP:inputstream.adaptive.license_type=clearkey\n#EXTINF:-1,A\nhttp://a/1.mpd\n"
     "f8c2ec548c274b54b3837f310750fe58:091ae11a6e5ff22e60b405953a58e40f\n",
     "A@-", "[0]", 1, 0},
    {"no group-title anywhere: flat", "#EXTM3U\n#EXTINF:-1,A\nhttp://a/1\n#EXTINF:-1,B\nhttp://a/2\n", "A@- B@-",
     "[0,1]", 0, 0},
    {"one group-title sends the others to Other, placed at its first channel",
     "#EXTM3U\n#EXTINF:-1,A\nhttp://a/1\n#EXTINF:-1 group-title=\"News\",B\nhttp://a/2\n#EXTINF:-1,C\nhttp://a/3\n",
     "A@Other B@News C@Other", "Other[0,2] News[1]", 0, 0},
    {"an explicit Other shares the group",
     "#EXTM3U\n#EXTINF:-1 group-title=\"Other\",A\nhttp://a/1\n#EXTINF:-1,B\nhttp://a/2\n", "A@Other B@Other",
     "Other[0,1]", 0, 0},
    {"group names lose surrounding white space; one of white space alone is none",
     "#EXTM3U\n#EXTINF:-1 group-title=\"CFHD \",A\nhttp://a/1\n#EXTINF:-1 group-title=\"\tCFHD\",B\nhttp://a/2\n"
     "#EXTINF:-1 group-title=\"  \",C\nhttp://a/3\n",
     "A@CFHD B@CFHD C@Other", "CFHD[0,1] Other[2]", 0, 0},
    {"group names compare exactly",
     "#EXTM3U\n#EXTINF:-1 group-title=\"news\",A\nhttp://a/1\n#EXTINF:-1 group-title=\"News\",B\nhttp://a/2\n",
     "A@news B@News", "news[0] News[1]", 0, 0},
    {"same location and tvg-id in one group are listed once",
     "#EXTM3U\n#EXTINF:-1 tvg-id=\"x\" group-title=\"G\",A\nhttp://a/1\n#EXTINF:-1 tvg-id=\"x\" group-title=\"G\",B\n"
     "http://a/1\n",
     "A@G B@G", "G[0]", 0, 1},
    {"in two groups both are listed",
     "#EXTM3U\n#EXTINF:-1 tvg-id=\"x\" group-title=\"G\",A\nhttp://a/1\n#EXTINF:-1 tvg-id=\"x\" group-title=\"H\",B\n"
     "http://a/1\n",
     "A@G B@H", "G[0] H[1]", 0, 0},
    {"another tvg-id makes another channel",
     "#EXTM3U\n#EXTINF:-1 tvg-id=\"x\",A\nhttp://a/1\n#EXTINF:-1 tvg-id=\"y\",A\nhttp://a/1\n#EXTINF:-1,A\nhttp://a/1\n"
     "#EXTINF:-1,B\nhttp://a/1\n",
     "A@- A@- A@- B@-", "[0,1,2]", 0, 1},
    {"no entries at all", "#EXTM3U\n", "", "[]", 0, 0},
    {"only unusable entries", "#EXTM3U\n#EXTINF:-1,A\nfile.ts\n#EXTINF:-1,\n/a/b.ts\n", "", "[]", 2, 0},
    {"bad UTF-8 in a title becomes U+FFFD",
     "#EXTM3U\n#EXTINF:-1,Bad\xED\xA0\x80!\nhttp://a/1\n",
     "Bad\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD!@-", "[0]", 0, 0},
    {"and in a group title and a location",
     "#EXTM3U\n#EXTINF:-1 group-title=\"G\xC0\xAF\",A\nhttp://a/\xED\xA0\x80\n",
     "A@G\xEF\xBF\xBD\xEF\xBF\xBD", "G\xEF\xBF\xBD\xEF\xBF\xBD[0]", 0, 0},
    {"a repaired group title names one group",
     "#EXTM3U\n#EXTINF:-1 group-title=\"G\xC0\xAF\",A\nhttp://a/\xED\xA0\x80\n#EXTINF:-1 group-title=\"G\xC0\xAF\",B\n"
     "http://a/2\n",
     "A@G\xEF\xBF\xBD\xEF\xBF\xBD B@G\xEF\xBF\xBD\xEF\xBF\xBD", "G\xEF\xBF\xBD\xEF\xBF\xBD[0,1]", 0, 0},
    {"a NUL byte does not hide later entries",
     "#EXTM3U\n#EXTINF:-1,A\0junk\nhttp://a/1\n#EXTINF:-1,B\nhttp://a/2\n"s, "A@- B@-", "[0,1]", 0, 0},
};

TEST(ParseBody, ConvertsEntriesIntoChannelsAndGroups) {
    for (const auto &c : kCases) {
        converted m;
        convert_bytes(c.text, &m);
        ASSERT_EQ(m.status, 0) << c.why << ": " << m.err;
        EXPECT_EQ(channel_groups(m.p), c.channels) << c.why;
        EXPECT_EQ(listing(m.p), c.listed) << c.why;
        EXPECT_EQ(m.p->skipped, c.skipped) << c.why;
        EXPECT_EQ(m.p->duplicates, c.duplicates) << c.why;
        EXPECT_EQ(m.p->flat, m.p->group_count == 0 ? 1 : 0) << c.why;
        if (m.p->flat) {
            EXPECT_EQ(m.p->group_of, nullptr) << c.why;
        }
        EXPECT_EQ(vqplp_item_count(), 0) << "the parser is left cleared";
    }
}

TEST(ParseBody, StoresEveryFieldAndTheIdentifier) {
    converted m;
    convert_bytes("#EXTM3U url-tvg=\"http://guide/\"\n"
                  "#EXTINF:-1 tvg-id=\"one.tv\" tvg-name=\"One\" tvg-logo=\"http://l/1.png\" group-title=\"News\","
                  "One HD\nhttp://a/1.m3u8\n"
                  "#EXTINF:-1,Two\nhttp://a/2\n",
                  &m);
    ASSERT_EQ(m.status, 0) << m.err;
    ASSERT_EQ(m.p->channel_count, 2);
    const channel &one = m.p->channels[0];
    EXPECT_EQ(channel_text(m.p, 0, channel_field::name), "One HD");
    EXPECT_EQ(str_at(m.p, one.location), "http://a/1.m3u8");
    EXPECT_EQ(channel_text(m.p, 0, channel_field::tvg_id), "one.tv");
    EXPECT_EQ(channel_text(m.p, 0, channel_field::tvg_name), "One");
    EXPECT_EQ(channel_text(m.p, 0, channel_field::tvg_logo), "http://l/1.png");
    EXPECT_EQ(str_at(m.p, m.p->groups[m.p->group_of[0]].name), "News");
    EXPECT_EQ(one.id, fnv1a("http://a/1.m3u8\x1f" "one.tv"));
    const channel &two = m.p->channels[1];
    EXPECT_EQ(m.p->far_text_count, 0);  // every text lies just before its location
    EXPECT_EQ(two.id, fnv1a("http://a/2\x1f"));
    EXPECT_EQ(std::string(m.p->url), "http://host/list.m3u");
    EXPECT_EQ(m.p->body_len, 168u);
    EXPECT_EQ(m.p->fetched_ms | m.p->used, 0u);
}

// Options, then the http- attributes, then the plain ones (any case); an
// empty attribute counts as absent.
TEST(ParseBody, HttpOptionsBeatAttributesAndDoNotCarryOver) {
    converted m;
    convert_bytes("#EXTM3U\n"
                  "#EXTINF:-1 http-user-agent=\"AttrUA\" http-referrer=\"AttrRef\" http-referer=\"Other\",A\n"
                  "#EXTVLCOPT:http-user-agent=Agent/1\nhttp://a/1\n"
                  "#EXTINF:-1 http-referer=\"Ref2\",B\nhttp://a/2\n"
                  "#EXTINF:-1,C\n#EXTVLCOPT:http-referrer=R3\nhttp://a/3\n"
                  "#EXTINF:-1 user-agent=\"Plain\" referrer=\"Rr\" HTTP-USER-AGENT=\"Http\" Referer=\"Re\",D\n"
                  "http://a/4\n"
                  "#EXTINF:-1 User-Agent=\"U5\" http-referrer=\"\" REFERRER=\"R5\",E\nhttp://a/5\n"
                  "#EXTINF:-1 referer=\"R6\",F\n#EXTVLCOPT:http-user-agent=O6\nhttp://a/6\n",
                  &m);
    ASSERT_EQ(m.status, 0) << m.err;
    std::string got;
    for (int32_t i = 0; i < m.p->channel_count; i++)
        got += str_of(channel_text(m.p, i, channel_field::user_agent)) + "|" +
               str_of(channel_text(m.p, i, channel_field::referrer)) + " ";
    EXPECT_EQ(got, "Agent/1|AttrRef -|Ref2 -|R3 Http|Re U5|R5 O6|R6 ");
}

// The third round repeats the first: each of its channels is a duplicate.
TEST(ParseBody, ManyGroupsStayFindableAndTheirDuplicatesUnlisted) {
    std::string text = "#EXTM3U\n";
    for (int round = 0; round < 3; round++)
        for (int g = 0; g < 300; g++)
            text += "#EXTINF:-1 group-title=\"G" + std::to_string(g) + "\",C\nhttp://a/" + std::to_string(round % 2) +
                    "/" + std::to_string(g) + "\n";
    converted m;
    convert_bytes(text, &m);
    ASSERT_EQ(m.status, 0) << m.err;
    ASSERT_EQ(m.p->group_count, 300);
    EXPECT_EQ(m.p->duplicates, 300);
    EXPECT_EQ(m.p->group_slot_count, 1024u);  // at most half full
    for (int g = 0; g < 300; g++) {
        std::string name = "G" + std::to_string(g);
        ASSERT_EQ(group_find(m.p, name.c_str()), g);
        EXPECT_EQ(m.p->groups[g].member_count, 2);
        EXPECT_EQ(members_of(m.p, m.p->groups[g])[1], 300 + g);
    }
    EXPECT_EQ(group_find(m.p, "g1"), -1);
    EXPECT_EQ(group_find(m.p, "G300"), -1);
    EXPECT_EQ(group_find(m.p, ""), -1);
}

// A list's id set has room for 65536 ids before it grows: lists of one id
// less, as many and one more, each followed by its first ten again.
TEST(ParseBody, DuplicatesStayUnlistedAsTheIdSetGrows) {
    for (int32_t n : {kFirstIds - 1, kFirstIds, kFirstIds + 1}) {
        std::string text = "#EXTM3U\n";
        for (int32_t c = 0; c < n + 10; c++) text += "http://a/" + std::to_string(c < n ? c : c - n) + "\n";
        converted m;
        convert_bytes(text, &m);
        ASSERT_EQ(m.status, 0) << m.err;
        EXPECT_EQ(m.p->duplicates, 10) << n;
        ASSERT_EQ(m.p->ungrouped.member_count, n);
        EXPECT_EQ(members_of(m.p, m.p->ungrouped)[n - 1], n - 1);
    }
}

TEST(ParseBody, Utf16PlaylistsKeepTheirNulBytes) {
    converted m;
    convert_bytes(utf16("#EXTM3U\n#EXTINF:-1 group-title=\"Nachrichten\",Caf\xC3\xA9\nhttp://a/1\n"), &m);
    ASSERT_EQ(m.status, 0) << m.err;
    EXPECT_EQ(channel_groups(m.p), "Caf\xC3\xA9@Nachrichten");
}

struct refusal {
    const char *why;
    std::string text;
    const char *err;
};

const refusal kRefusals[] = {
    {"empty", "", "empty body"},
    {"HLS", "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\nseg.ts\n",
     "not an M3U playlist: HLS manifest detected; not parsed as playlist items"},
    {"plain list", "http://a/1\nhttp://a/2\n", "not an M3U playlist (detected streaming-list)"},
    {"cue", "FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", "not an M3U playlist (detected cue)"},
    {"unknown", "hello", "not an M3U playlist: unknown playlist format"},
};

TEST(ParseBody, RefusesWhatIsNotAnM3uPlaylist) {
    for (const auto &r : kRefusals) {
        converted m;
        convert_bytes(r.text, &m);
        EXPECT_EQ(m.status, -5) << r.why;
        EXPECT_EQ(m.p, nullptr) << r.why;
        EXPECT_EQ(m.err, r.err) << r.why;
        EXPECT_EQ(vqplp_item_count(), 0) << r.why;
    }
}

TEST(ParseBody, MessagesAreCutToTheBuffer) {
    converted m;
    convert_bytes("http://a/1\n", &m, 12);
    EXPECT_EQ(m.status, -5);
    EXPECT_EQ(m.err, "not an M3U ");
}

TEST(ParseBody, SizeLimitIsSixtyFourMebibytes) {
    std::string text = "#EXTM3U\n#EXTINF:-1,A\nhttp://a/\n#";
    text.resize(kMaxBodyBytes, 'x');
    converted exact;
    convert_bytes(text, &exact);
    EXPECT_EQ(exact.status, 0) << exact.err;
    EXPECT_EQ(exact.p ? exact.p->channel_count : 0, 1);

    // One byte more is refused before the parser runs: its previous result stays.
    ASSERT_EQ(vqplp_parse("#EXTM3U\nhttp://a/\n", 18, VQPLP_FMT_AUTO), 0);
    text += 'x';
    converted over;
    convert_bytes(text, &over);
    EXPECT_EQ(over.status, -5);
    EXPECT_EQ(over.err, "body exceeds 64 MiB");
    EXPECT_EQ(vqplp_item_count(), 1);
    vqplp_clear();
}

TEST(ParseBody, CountsNoOptionMismatchForConsistentText) {
    cache_stats before{}, after{};
    vqiptv_cache_stats_get(&before);
    converted m;
    convert_bytes("#EXTM3U\r\n#EXTINF:-1,A\r\n#EXTVLCOPT:http-user-agent=U\r\n\r\nhttp://a/1\r\n  \r\n#EXTINF:-1,B\rhttp://a/2", &m);
    ASSERT_EQ(m.status, 0) << m.err;
    vqiptv_cache_stats_get(&after);
    EXPECT_EQ(after.vlcopt_mismatch, before.vlcopt_mismatch);
    EXPECT_EQ(channel_text(m.p, 0, channel_field::user_agent), "U");
}

}  // namespace
