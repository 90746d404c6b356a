// What a player waits for once the 60 MiB generated playlist is cached:
//  - list/biggest_group_60MiB: the listing of its biggest group (/UNSORTED,
//    36,123 channels); bytes_per_second counts the JSON answered;
//  - stream/resolve_by_id_60MiB/first and /last: resolving the first and the
//    last channel of that group by id (the one near the playlist's start, the
//    other near its end).
// The warm root listing is in model_bench.cpp, the cold one in cold_bench.cpp.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench_inputs.h"
#include "http/fake.h"
#include "quorvex_iptv.h"

namespace {

constexpr const char *kBiggestGroup = "/UNSORTED";

// The 60 MiB playlist scripted in the fake transport and cached by a first
// listing of its biggest group, whose document is kept.
class cached_playlist {
public:
    explicit cached_playlist(const std::string *text) : out_(64u << 20) {
        const std::string url = "http://bench.test/listing.m3u";
        settings_ = "{\"URL\":\"" + url + "\"}";
        vqiptv_use_fake();
        vqiptv_cache_clear();
        quorvex_fake_set("GET", url.c_str(), 200, nullptr, text->data(), text->size());
        ok_ = list_group() == 0;
        group_doc_ = out_.data();
    }
    ~cached_playlist() {
        vqiptv_cache_clear();
        quorvex_fake_reset();
    }
    bool ok() const { return ok_; }
    int32_t list_group() {
        return vqiptv_list(settings_.c_str(), kBiggestGroup, out_.data(), static_cast<int32_t>(out_.size()));
    }
    int32_t resolve(const std::string &entry) {
        return vqiptv_stream_url(settings_.c_str(), entry.c_str(), out_.data(), static_cast<int32_t>(out_.size()));
    }
    size_t answer_len() const { return std::strlen(out_.data()); }
    const std::string &group_doc() const { return group_doc_; }

private:
    std::vector<char> out_;
    std::string settings_;
    std::string group_doc_;
    bool ok_ = false;
};

void bm_biggest_group(benchmark::State &state, const std::string *text) {
    cached_playlist p(text);
    if (!p.ok()) state.SkipWithError(vqiptv_last_error());
    for (auto _ : state)
        if (p.list_group() != 0) {
            state.SkipWithError(vqiptv_last_error());
            break;
        }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.answer_len()));
    state.counters["answer_MB"] = static_cast<double>(p.answer_len()) / 1e6;
}

// {"id":"..."} of the first or the last channel of a listing.
std::string entry_of(const std::string &doc, bool last) {
    const std::string key = "{\"id\":\"";
    size_t at = last ? doc.rfind(key) : doc.find(key);
    if (at == std::string::npos) return "{}";
    return doc.substr(at, key.size() + 16) + "\"}";
}

void bm_resolve(benchmark::State &state, const std::string *text, bool last) {
    cached_playlist p(text);
    const std::string entry = entry_of(p.group_doc(), last);
    if (!p.ok() || p.resolve(entry) != 0) state.SkipWithError(vqiptv_last_error());
    for (auto _ : state)
        if (p.resolve(entry) != 0) {
            state.SkipWithError(vqiptv_last_error());
            break;
        }
}

bool register_all() {
    static const std::string mb60 = big_playlist("60M");
    benchmark::RegisterBenchmark("list/biggest_group_60MiB", bm_biggest_group, &mb60)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("stream/resolve_by_id_60MiB/first", bm_resolve, &mb60, false)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("stream/resolve_by_id_60MiB/last", bm_resolve, &mb60, true)
        ->Unit(benchmark::kMicrosecond);
    return true;
}

const bool registered = register_all();

}  // namespace
