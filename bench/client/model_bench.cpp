// Speed of the channel model and the playlist cache in a warm process:
//  - parse_body throughput (MB/s) at 10 MB and at 64 MiB, the largest body the
//    library accepts (the two within a few percent of each other: linear);
//  - a warm listing of the 60 MiB playlist's root (a cache hit);
//  - the refusal of a 100 MB playlist, which the fetch stops at 64 MiB;
//  - cold and warm listings of a flat playlist of 50,000 channels.
// The cold listing in a fresh process is in cold_bench.cpp. Inputs are made on
// first use, outside the tree, e.g.
//   python3 make_big_playlist.py 64M -o /tmp/big_64M.m3u
// Run: client_model_bench --benchmark_counters_tabular=true
// Newly touched memory dominates the big cases where page faults are dear (as
// on virtual machines); GLIBC_TUNABLES=glibc.malloc.hugetlb=1 lets the C
// runtime back large blocks with huge pages and shows the difference.
#include <benchmark/benchmark.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "bench_inputs.h"
#include "common/alloc.h"
#include "http/fake.h"
#include "source_client/fetch/transport_stats.h"
#include "source_client/model/channel_model.h"
#include "source_client/ops/results.h"

using namespace vqc;

namespace {

std::string flat_playlist(int channels) {
    std::ostringstream s;
    s << "#EXTM3U\n";
    for (int i = 0; i < channels; i++)
        s << "#EXTINF:-1 tvg-id=\"ch" << i << ".tv\" tvg-logo=\"http://logo.test/" << i << ".png\",Channel " << i
          << "\nhttp://stream.test/live/" << i << "/index.m3u8\n";
    return s.str();
}

double megabytes(double bytes) { return bytes / 1e6; }

void bm_parse_body(benchmark::State &state, const std::string *text) {
    int32_t channels = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto *body = static_cast<char *>(vq_malloc(text->size() + 1));
        std::memcpy(body, text->data(), text->size() + 1);
        state.ResumeTiming();
        playlist *p = nullptr;
        char err[400];
        int rc;
        {
            vqp::Guard hold(g_lock);
            rc = parse_body(nullptr, "http://bench.test/", body, text->size(), &p, err, sizeof err);
        }
        if (rc != 0) {
            state.SkipWithError(err);
            break;
        }
        state.PauseTiming();
        channels = p ? p->channel_count : 0;
        playlist_free(p);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text->size()));
    state.counters["channels"] = channels;
    state.counters["body_MB"] = megabytes(static_cast<double>(text->size()));
}

// One playlist scripted in the fake transport and listed through the exports.
class served {
public:
    served(const std::string &name, const std::string *text) : text_(text), url_("http://bench.test/" + name) {
        settings_ = "{\"URL\":\"" + url_ + "\"}";
        vqiptv_use_fake();
        quorvex_fake_set("GET", url_.c_str(), 200, nullptr, text->data(), text->size());
        out_.resize(64u << 20);
    }
    ~served() {
        vqiptv_cache_clear();
        quorvex_fake_reset();
    }
    static void go_cold() {
        vqiptv_cache_clear();
        vqiptv_curl_reset();
    }
    int32_t list_root() {
        int32_t rc = vqiptv_list(settings_.c_str(), "/", out_.data(), static_cast<int32_t>(out_.size()));
        answer_len_ = std::strlen(out_.data());
        return rc;
    }
    void report(benchmark::State &state) const {
        state.counters["body_MB"] = megabytes(static_cast<double>(text_->size()));
        state.counters["answer_KB"] = static_cast<double>(answer_len_) / 1e3;
    }

private:
    const std::string *text_;
    std::string url_;
    std::string settings_;
    std::vector<char> out_;
    size_t answer_len_ = 0;
};

void bm_cold_list(benchmark::State &state, const std::string *text, int32_t want) {
    served s("cold.m3u", text);
    for (auto _ : state) {
        state.PauseTiming();
        served::go_cold();
        state.ResumeTiming();
        if (s.list_root() != want) {
            state.SkipWithError(vqiptv_last_error());
            break;
        }
    }
    s.report(state);
}

void bm_warm_list(benchmark::State &state, const std::string *text) {
    served s("warm.m3u", text);
    served::go_cold();
    if (s.list_root() != 0) state.SkipWithError(vqiptv_last_error());
    for (auto _ : state)
        if (s.list_root() != 0) {
            state.SkipWithError(vqiptv_last_error());
            break;
        }
    s.report(state);
}

bool register_all() {
    // Kept for the whole run: the benchmarks hold pointers to them.
    static const std::string mb10 = big_playlist("10M");
    static const std::string mb64 = big_playlist("64M");
    static const std::string mb60 = big_playlist("60M");
    static const std::string mb100 = big_playlist("100M");
    static const std::string flat = flat_playlist(50000);
    auto ms = benchmark::kMillisecond;
    benchmark::RegisterBenchmark("parse_body/10MB", bm_parse_body, &mb10)->Unit(ms);
    benchmark::RegisterBenchmark("parse_body/64MiB", bm_parse_body, &mb64)->Unit(ms);
    benchmark::RegisterBenchmark("list/warm_root_60MiB", bm_warm_list, &mb60)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("list/refused_100MB", bm_cold_list, &mb100, QVX_E_CONTENT)->Unit(ms);
    benchmark::RegisterBenchmark("list/cold_flat_50k", bm_cold_list, &flat, 0)->Unit(ms);
    benchmark::RegisterBenchmark("list/warm_flat_50k", bm_warm_list, &flat)->Unit(ms);
    return true;
}

const bool registered = register_all();

}  // namespace
