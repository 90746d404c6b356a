// Work per input byte on input made to be slow, generated at run time
// (crafted_playlists.h):
//  - list/crafted_ids_160k: the cold root listing of a flat playlist whose
//    160,000 channel ids share their low 20 bits, paired run by run with a
//    playlist of random locations of the same size; x_random is the crafted
//    listing's time over the random one's (near 1 when nothing floods);
//  - list/crafted_groups_40k: the same with 40,000 group titles made to
//    collide in the group table's former name hash;
//  - stream/suffix_pairs_100k: resolving a channel whose location carries
//    100,000 header pairs of distinct names (the playlist cached);
//  - validate/repeated_keys_80k: validating settings that hold "RuntimeType"
//    80,000 times.
// Times are the process's processor time around each operation.
// Run: client_hostile_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_inputs.h"
#include "crafted_playlists.h"
#include "http/fake.h"
#include "quorvex_iptv.h"
#include "source_client/fetch/transport_stats.h"
#include "source_client/util/url_util.h"

using namespace vqc;

namespace {

std::vector<char> &out_buffer() {
    static std::vector<char> out(64u << 20);
    return out;
}

int32_t out_size() { return static_cast<int32_t>(out_buffer().size()); }

// A text scripted in the fake transport under its own URL.
std::string serve(const std::string &name, const std::string &body) {
    std::string url = "http://bench.test/" + name;
    vqiptv_use_fake();
    quorvex_fake_set("GET", url.c_str(), 200, nullptr, body.data(), body.size());
    return "{\"URL\":\"" + url + "\"}";
}

// Processor seconds of one root listing from an empty cache, or -1 on failure.
double cold_listing(const std::string &settings) {
    vqiptv_cache_clear();
    vqiptv_curl_reset();
    double start = cpu_seconds();
    int32_t rc = vqiptv_list(settings.c_str(), "/", out_buffer().data(), out_size());
    double took = cpu_seconds() - start;
    return rc == 0 ? took : -1;
}

void bm_crafted_vs_random(benchmark::State &state, const playlist_pair *pair) {
    std::string crafted = serve("crafted.m3u", pair->crafted), random = serve("random.m3u", pair->random);
    double crafted_s = 0, random_s = 0;
    cold_listing(random);  // the first listing's pages and heap growth counted in neither
    // Whichever listing of a pair runs first measured up to 15% slower, so the
    // two take turns at going first.
    bool crafted_first = false;
    for (auto _ : state) {
        double c = 0, r = 0;
        if (crafted_first) c = cold_listing(crafted);
        r = cold_listing(random);
        if (!crafted_first) c = cold_listing(crafted);
        crafted_first = !crafted_first;
        if (r < 0 || c < 0) {
            state.SkipWithError(vqiptv_last_error());
            break;
        }
        state.SetIterationTime(c);
        crafted_s += c;
        random_s += r;
    }
    vqiptv_cache_clear();
    quorvex_fake_reset();
    state.counters["crafted_ms"] = crafted_s * 1e3 / static_cast<double>(state.iterations());
    state.counters["random_ms"] = random_s * 1e3 / static_cast<double>(state.iterations());
    state.counters["x_random"] = crafted_s / random_s;
    state.counters["body_MB"] = static_cast<double>(pair->crafted.size()) / 1e6;
}

// Runs op once per iteration, timed by processor time; op answers a status.
template <class Op>
void timed(benchmark::State &state, Op op) {
    for (auto _ : state) {
        double start = cpu_seconds();
        int32_t rc = op();
        state.SetIterationTime(cpu_seconds() - start);
        if (rc != 0) {
            state.SkipWithError(vqiptv_last_error());
            break;
        }
    }
}

// The entry of a playlist's one channel, whose location carries the pairs;
// the playlist is served and cached by the first resolution.
std::string suffix_entry(int pairs, std::string *settings) {
    std::string location = "http://h/live.m3u8|";
    for (int i = 0; i < pairs; i++) location += (i ? "&X-" : "X-") + std::to_string(i) + "=1";
    *settings = serve("suffix.m3u", "#EXTM3U\n#EXTINF:-1,c\n" + location + "\n");
    uint64_t id = vqiptv_fnv1a("\x1f", 1, vqiptv_fnv1a(location.data(), location.size(), kFnvOffsetBasis));
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(id));
    return std::string("{\"id\":\"") + text + "\"}";
}

void bm_suffix_pairs(benchmark::State &state, int pairs) {
    std::string settings;
    const std::string entry = suffix_entry(pairs, &settings);
    auto resolve = [&] { return vqiptv_stream_url(settings.c_str(), entry.c_str(), out_buffer().data(), out_size()); };
    if (resolve() != 0) state.SkipWithError(vqiptv_last_error());
    timed(state, resolve);
    vqiptv_cache_clear();
    quorvex_fake_reset();
}

void bm_repeated_keys(benchmark::State &state, int repeats) {
    std::string settings = serve("one.m3u", "#EXTM3U\n#EXTINF:-1,c\nhttp://c.test/a\n");
    settings.pop_back();
    for (int i = 0; i < repeats; i++) settings += ",\"RuntimeType\":\"x\"";
    settings += "}";
    timed(state, [&] { return vqiptv_validate(settings.c_str(), out_buffer().data(), out_size()); });
    vqiptv_cache_clear();
    quorvex_fake_reset();
}

bool register_all() {
    // Kept for the whole run: the benchmarks hold pointers to them.
    static const playlist_pair ids = colliding_ids(160000);
    static const playlist_pair groups = colliding_group_titles(40000);
    auto ms = benchmark::kMillisecond;
    benchmark::RegisterBenchmark("list/crafted_ids_160k", bm_crafted_vs_random, &ids)
        ->UseManualTime()->Iterations(6)->Unit(ms);
    benchmark::RegisterBenchmark("list/crafted_groups_40k", bm_crafted_vs_random, &groups)
        ->UseManualTime()->Iterations(6)->Unit(ms);
    benchmark::RegisterBenchmark("stream/suffix_pairs_100k", bm_suffix_pairs, 100000)->UseManualTime()->Unit(ms);
    benchmark::RegisterBenchmark("validate/repeated_keys_80k", bm_repeated_keys, 80000)->UseManualTime()->Unit(ms);
    return true;
}

const bool registered = register_all();

}  // namespace
