// The library driven through its exports from a fresh load: the statistics
// start at zero with the default maximum age; then every real M3U playlist,
// served by the fake transport: the root lists, every group lists, and every
// listed channel resolves by its id to its own stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "api_support.h"
#include "http/http.h"

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

std::string read_all(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Corpus {
public:
    explicit Corpus(totals *t) : t_(t) {}

    void check(const fs::path &file) {
        name_ = fs::relative(file, QVX_CORPUS_DIR).string();
        std::string body = read_all(file);
        std::string url = "http://corpus.test/" + name_;
        quorvex_fake_reset();  // the fake holds at most 256 routes
        ASSERT_EQ(quorvex_fake_set("GET", url.c_str(), 200, nullptr, body.data(), body.size()), 0);
        settings_ = settings_for(url);
        answer root = list_folder(settings_, "/");
        if (root.status == QVX_E_CONTENT && root.error.rfind("not an M3U playlist", 0) == 0) {
            t_->refused++;
            return;
        }
        t_->playlists++;
        if (!expect(root.status == QVX_OK && root.doc().IsArray(), "root: " + root.error)) return;
        for (const auto &entry : root.doc().GetArray()) entry["folder"].GetBool() ? group(entry) : channel(entry);
    }

private:
    void group(const rapidjson::Value &folder) {
        t_->groups++;
        std::string path = folder["path"].GetString();
        answer members = list_folder(settings_, path.c_str());
        if (!expect(members.status == QVX_OK && members.doc().IsArray(), path + ": " + members.error)) return;
        expect(static_cast<int64_t>(members.doc().Size()) == folder["count"].GetInt64(), path + ": count");
        for (const auto &entry : members.doc().GetArray()) channel(entry);
    }

    void channel(const rapidjson::Value &entry) {
        t_->channels++;
        answer stream = resolve(settings_, to_json(entry));
        std::string want = entry["stream_url"].GetString();
        expect(stream.status == QVX_OK && stream.doc().IsObject() && stream.doc()["url"].GetString() == want,
               std::string(entry["id"].GetString()) + ": " + stream.error);
    }

    bool expect(bool ok, const std::string &what) {
        if (!ok && t_->failures++ < 20) ADD_FAILURE() << name_ << " " << what;
        return ok;
    }

    totals *t_;
    std::string name_;
    std::string settings_;
};

// Runs first (and alone under ctest), before anything touched the counters.
TEST(FreshLibrary, StatisticsStartAtZeroWithTheDefaultAge) {
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
    vqiptv_set_io(nullptr);
    quorvex_fake_reset();
}

}  // namespace
