// The library driven through its exports: cleared statistics read zero with
// the default maximum age; every real M3U playlist,
// served by the fake transport: none with #EXTINF entries is refused, the
// root lists, every group lists, every listed channel resolves by its id to
// its own stream (before any header suffix), every entry the parser reads
// at a location players open is listed (a duplicate by the location of the
// channel it repeats), and every document answered for a playlist still
// hashes to its checked-in digest.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <vector>

#include "api_support.h"
#include "http/http.h"
#include "playlist_parser/vqplp.h"
#include "source_client/fetch/transport_stats.h"
#include "source_client/util/url_util.h"
#if QVX_CORPUS_DIGESTS
#include "corpus_digests.h"
#endif

using namespace vqc;

namespace fs = std::filesystem;

namespace {

struct totals {
    int playlists = 0;  // served as M3U
    int refused = 0;    // not M3U by detection
    int groups = 0;
    int channels = 0;
    int failures = 0;
};

std::vector<fs::path> corpus_playlists() {
    std::vector<fs::path> files;
    for (const auto &e : fs::recursive_directory_iterator(QVX_CORPUS_DIR)) {
        std::string ext = e.path().extension().string();
        if (e.is_regular_file() && (ext == ".m3u" || ext == ".m3u8")) files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The locations of the entries the parser reads that a player can open.
std::vector<std::string> absolute_locations(const std::string &body) {
    std::vector<std::string> found;
    if (vqplp_parse(body.data(), body.size(), -1) == 0)
        for (int32_t i = 0; i < vqplp_item_count(); i++)
            if (const char *loc = vqplp_item_location(i); loc && vqiptv_uri_is_playable_n(loc, std::strlen(loc)))
                found.emplace_back(loc);
    vqplp_clear();
    return found;
}

std::string read_all(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Corpus {
public:
    explicit Corpus(totals *t) : t_(t) {}

    void check(const fs::path &file) {
        name_ = fs::relative(file, QVX_CORPUS_DIR).generic_string();
        documents_.clear();
        walk(file);
#if QVX_CORPUS_DIGESTS
        digests_[name_] = sha256_hex(documents_);
#endif
    }
#if QVX_CORPUS_DIGESTS
    const digest_table &digests() const { return digests_; }
#endif

private:
    void walk(const fs::path &file) {
        std::string body = read_all(file);
        std::string url = "http://corpus.test/" + name_;
        quorvex_fake_reset();  // the fake holds at most 256 routes
        ASSERT_EQ(quorvex_fake_set("GET", url.c_str(), 200, nullptr, body.data(), body.size()), 0);
        settings_ = settings_for(url);
        answer root = kept(list_folder(settings_, "/"));
        if (root.status == QVX_E_CONTENT && root.error.rfind("not an M3U playlist", 0) == 0) {
            t_->refused++;
            expect(body.find("#EXTINF") == std::string::npos, "refused with #EXTINF entries: " + root.error);
            return;
        }
        t_->playlists++;
        if (!expect(root.status == QVX_OK && root.doc().IsArray(), "root: " + root.error)) return;
        listed_.clear();
        for (const auto &entry : root.doc().GetArray()) entry["folder"].GetBool() ? group(entry) : channel(entry);
        for (const std::string &location : absolute_locations(body))
            expect(listed_.count(location) != 0, "entry not listed: " + location);
    }

    void group(const rapidjson::Value &folder) {
        t_->groups++;
        std::string path = folder["path"].GetString();
        answer members = kept(list_folder(settings_, path.c_str()));
        if (!expect(members.status == QVX_OK && members.doc().IsArray(), path + ": " + members.error)) return;
        expect(static_cast<int64_t>(members.doc().Size()) == folder["count"].GetInt64(), path + ": count");
        for (const auto &entry : members.doc().GetArray()) channel(entry);
    }

    void channel(const rapidjson::Value &entry) {
        t_->channels++;
        listed_.insert(entry["stream_url"].GetString());
        answer stream = kept(resolve(settings_, to_json(entry)));
        expect(stream.status == QVX_OK && stream.doc().IsObject() &&
                   plays(entry["stream_url"].GetString(), stream.doc()["url"].GetString()),
               std::string(entry["id"].GetString()) + ": " + stream.error);
    }

    // The listed location itself, or the part of it before a header suffix.
    static bool plays(const std::string &listed, const std::string &url) {
        if (listed.compare(0, url.size(), url) != 0) return false;
        size_t bar = listed.find_first_not_of(" \t", url.size());
        return url.size() == listed.size() || (bar != std::string::npos && listed[bar] == '|');
    }

    // Every document answered for the playlist, in order, each as
    // "status<TAB>json<LF>".
    answer kept(answer a) {
        documents_ += std::to_string(a.status) + '\t' + a.json + '\n';
        return a;
    }

    bool expect(bool ok, const std::string &what) {
        if (!ok && t_->failures++ < 20) ADD_FAILURE() << name_ << " " << what;
        return ok;
    }

    totals *t_;
    std::string name_;
    std::string settings_;
    std::string documents_;
    std::set<std::string> listed_;  // the stream_url of every listed channel
#if QVX_CORPUS_DIGESTS
    digest_table digests_;
#endif
};

#if QVX_CORPUS_DIGESTS
// QVX_UPDATE_DIGESTS=1 rewrites the checked-in digests from this walk instead
// of comparing with them.
void compare_digests(const digest_table &got) {
    const std::string path = QVX_TEST_DATA "/client/corpus_digests.txt";
    std::vector<std::string> changed = digest_differences(read_digests(path), got);
    const char *update = std::getenv("QVX_UPDATE_DIGESTS");
    if (update && std::string(update) == "1") {
        write_digests(path, got);
        std::cout << "rewrote " << path << ": " << changed.size() << " playlists changed\n";
        for (const auto &line : changed) std::cout << "  " << line << '\n';
        return;
    }
    EXPECT_TRUE(changed.empty()) << changed.size() << " playlists answer other documents than " << path
                                 << " holds (QVX_UPDATE_DIGESTS=1 rewrites it), first: " << changed.front();
}
#endif

// Cleared counters read zero; nothing in this program changes the maximum age.
TEST(FreshLibrary, StatisticsStartAtZeroWithTheDefaultAge) {
    vqiptv_cache_clear();
    vqiptv_curl_reset();
    vqiptv_fake_reset();
    EXPECT_STREQ(vqiptv_stats_json(),
                 "{\"cache\":{\"hits\":0,\"misses\":0,\"revalidated\":0,\"parses\":0,\"evictions\":0,\"errors\":0,"
                 "\"entries\":0,\"vlcopt_mismatch\":0,\"max_age_s\":21600},\"http\":{\"requests\":0,\"not_modified\":0,"
                 "\"validators_stored\":0,\"transport_errors\":0},\"fake\":{\"calls\":0}}");
}

TEST(CorpusWalk, EveryChannelResolvesToItsOwnStream) {
    std::vector<fs::path> files = corpus_playlists();
    ASSERT_FALSE(files.empty()) << QVX_CORPUS_DIR;
    ASSERT_EQ(vqiptv_use_fake(), 0);
    vqiptv_cache_clear();
    totals t;
    Corpus corpus(&t);
    for (const auto &f : files) corpus.check(f);
    std::cout << "corpus: " << files.size() << " files, " << t.playlists << " M3U playlists, " << t.refused
              << " refused as not M3U, " << t.groups << " groups, " << t.channels << " channels, " << t.failures
              << " failures\n";
    EXPECT_EQ(t.failures, 0);
    EXPECT_GT(t.channels, 0);
#if QVX_CORPUS_DIGESTS
    compare_digests(corpus.digests());
#endif
    vqiptv_set_io(nullptr);
    quorvex_fake_reset();
}

}  // namespace
