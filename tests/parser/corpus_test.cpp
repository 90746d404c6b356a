// Every playlist of the real corpus parses without an error; a few are checked
// entry by entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_scan.h"
#include "parser_test_util.h"

using namespace ptest;
using namespace std::string_literals;
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

namespace {

std::string slurp(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void describe_entry(std::string &out, std::string_view location, std::string_view title) {
    out.append(location).append("\t").append(title);
}

// Every item of the last parse as the sink would see it.
std::string kept_items() {
    std::string out;
    for (int32_t i = 0; i < vqplp_item_count(); ++i) {
        describe_entry(out, vqplp_item_location(i), vqplp_item_title(i));
        for (int32_t a = 0; a < vqplp_item_attr_count(i); ++a)
            out.append("\t").append(vqplp_item_attr_key(i, a)).append("=").append(vqplp_item_attr(i, vqplp_item_attr_key(i, a)));
        out += '\n';
    }
    return out;
}

bool same_key(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

struct sunk {
    std::string text;
    int calls = 0;
    int stop_at = 0;  // the call that answers "stop", 0 = none
};

int record(void *ctx, const vqplp_entry &e) {
    auto *s = static_cast<sunk *>(ctx);
    if (++s->calls == s->stop_at) return 1;
    describe_entry(s->text, e.location, e.title);
    for (int32_t a = 0; a < e.attr_count; ++a) {
        // what the stored item answers: the first value of the key
        std::string_view value = e.attrs[a].value;
        for (int32_t b = 0; b < a; ++b)
            if (same_key(e.attrs[b].key, e.attrs[a].key)) {
                value = e.attrs[b].value;
                break;
            }
        s->text.append("\t").append(e.attrs[a].key).append("=").append(value);
    }
    s->text += '\n';
    return 0;
}

}  // namespace

// A sink receives exactly the entries a stored parse keeps, and keeps the
// parser's own item list empty.
TEST(ParserCorpus, SinkSeesWhatTheItemsHold) {
    std::vector<std::string> texts = {"http://a/1\nRadio | http://a/2\n"s,
                                      "\xFF\xFE#\0E\0X\0T\0M\0""3\0U\0\n\0u\0:\0x\0\n\0"s};
    for (const auto &e : fs::recursive_directory_iterator(QVX_CORPUS_DIR))
        if (e.is_regular_file() && e.path().extension() == ".m3u") texts.push_back(slurp(e.path()));
    for (const std::string &text : texts) {
        ASSERT_EQ(vqplp_parse(text.data(), text.size(), VQPLP_FMT_AUTO), 0);
        std::string want = kept_items();
        sunk s;
        ASSERT_EQ(vqplp_parse_borrowed_each(text.data(), text.size(), vqplp_sink{record, nullptr, &s}), 0);
        EXPECT_EQ(vqplp_item_count(), 0);
        ASSERT_EQ(s.text, want);
    }
    sunk stopped;
    stopped.stop_at = 2;
    const std::string three = "#EXTM3U\nu:1\nu:2\nu:3\n";
    EXPECT_EQ(vqplp_parse_borrowed_each(three.data(), three.size(), vqplp_sink{record, nullptr, &stopped}), VQPLP_E_NOMEM);
    EXPECT_EQ(stopped.calls, 2);
    EXPECT_EQ(stopped.text, "u:1\t\n");
}

// Whole parses with the wide scans and with their plain twins alone: every
// fuzz seed read as each format, every real playlist as what it is detected to
// be; the status, error, result document and decoded text are the same.
TEST(ParserCorpus, PlainScansParseAlike) {
    auto parse_as = [](const std::string &bytes, int32_t format, bool plain) {
        vqbytes::g_force_plain = plain;
        int32_t rc = vqplp_parse(bytes.data(), bytes.size(), format);
        std::vector<std::string> got = {std::to_string(rc), vqplp_last_error(), vqplp_result_json(), decoded()};
        vqbytes::g_force_plain = false;
        return got;
    };
    const std::pair<const char *, std::vector<int32_t>> sets[] = {
        {QVX_FUZZ_CORPUS_DIR, {VQPLP_FMT_AUTO, VQPLP_FMT_M3U, VQPLP_FMT_STREAMING_LIST, VQPLP_FMT_CUE}},
        {QVX_CORPUS_DIR, {VQPLP_FMT_AUTO}}};
    for (const auto &[dir, formats] : sets) {
        int files = 0;
        for (const auto &e : fs::recursive_directory_iterator(dir)) {
            if (!e.is_regular_file()) continue;
            ++files;
            std::string bytes = slurp(e.path());
            for (int32_t format : formats)
                ASSERT_EQ(parse_as(bytes, format, true), parse_as(bytes, format, false)) << e.path() << " as " << format;
        }
        EXPECT_GT(files, 10) << dir;
    }
}
