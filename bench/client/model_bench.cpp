// Speed of the channel model and the playlist cache on big playlists:
//  - parse_body throughput (MB/s) at 10 MB and at 64 MiB, the largest body the
//    library accepts;
//  - a cold listing of the 64 MiB playlist's root through the fake transport
//    (fetch, hash, parse, convert, list), with the physical memory it adds at
//    its peak, also as a multiple of the body size;
//  - a warm listing of that root (a cache hit);
//  - the refusal of a 100 MB playlist, which the fetch stops at 64 MiB;
//  - cold and warm listings of a flat playlist of 50,000 channels.
// Inputs are made on first use, outside the tree:
//   python3 make_big_playlist.py 10M  -o /tmp/big_10M.m3u
//   python3 make_big_playlist.py 64M  -o /tmp/big_64M.m3u
//   python3 make_big_playlist.py 100M -o /tmp/big_100M.m3u
// Run: client_model_bench --benchmark_counters_tabular=true
// Newly touched memory dominates the big cases where page faults are dear (as
// on virtual machines); GLIBC_TUNABLES=glibc.malloc.hugetlb=1 lets the C
// runtime back large blocks with huge pages and shows the difference.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/alloc.h"
#include "http/http.h"
#include "source_client/cache.h"
#include "source_client/channel_model.h"
#include "source_client/results.h"

namespace {

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The generated playlist of the given size ("10M", "100M"), made on first use.
std::string big_playlist(const std::string &size) {
    std::string path = "/tmp/big_" + size + ".m3u";
    if (!std::ifstream(path).good()) {
        const char *env = std::getenv("QVX_BIG_PLAYLIST_TOOL");
        std::string cmd = "python3 " + std::string(env ? env : QVX_BIG_PLAYLIST_TOOL) + " " + size + " -o " + path;
        if (std::system((cmd + " >/dev/null").c_str()) != 0) std::fprintf(stderr, "cannot run %s\n", cmd.c_str());
    }
    return slurp(path);
}

std::string flat_playlist(int channels) {
    std::ostringstream s;
    s << "#EXTM3U\n";
    for (int i = 0; i < channels; i++)
        s << "#EXTINF:-1 tvg-id=\"ch" << i << ".tv\" tvg-logo=\"http://logo.test/" << i << ".png\",Channel " << i
          << "\nhttp://stream.test/live/" << i << "/index.m3u8\n";
    return s.str();
}

// Kilobytes of a "Name:   123 kB" line of /proc/self/status.
long status_kb(const char *name) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, std::strlen(name), name) == 0) return std::atol(line.c_str() + std::strlen(name));
    return 0;
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
            rc = parse_body(nullptr, "http://bench.test/", body, text->size(), 0, &p, err, sizeof err);
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
    // The physical memory a cold listing adds at its peak.
    double cold_peak_bytes() {
        go_cold();
        malloc_trim(0);  // freed heap pages must be faulted in again to count
        std::ofstream("/proc/self/clear_refs") << "5";  // resets the high-water mark
        long before = status_kb("VmRSS:");
        list_root();
        long peak = status_kb("VmHWM:");
        return static_cast<double>(peak - before) * 1024.0;
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

void bm_cold_list(benchmark::State &state, const std::string *text, bool measure_peak, int32_t want) {
    served s("cold.m3u", text);
    if (measure_peak) {
        double peak = s.cold_peak_bytes();
        state.counters["peak_MB"] = megabytes(peak);
        state.counters["peak_x_body"] = peak / static_cast<double>(text->size());
    }
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
    static const std::string mb100 = big_playlist("100M");
    static const std::string flat = flat_playlist(50000);
    auto ms = benchmark::kMillisecond;
    benchmark::RegisterBenchmark("parse_body/10MB", bm_parse_body, &mb10)->Unit(ms);
    benchmark::RegisterBenchmark("parse_body/64MiB", bm_parse_body, &mb64)->Unit(ms);
    benchmark::RegisterBenchmark("list/cold_root_64MiB", bm_cold_list, &mb64, true, 0)->Unit(ms);
    benchmark::RegisterBenchmark("list/warm_root_64MiB", bm_warm_list, &mb64)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("list/refused_100MB", bm_cold_list, &mb100, false, QVX_E_CONTENT)->Unit(ms);
    benchmark::RegisterBenchmark("list/cold_flat_50k", bm_cold_list, &flat, true, 0)->Unit(ms);
    benchmark::RegisterBenchmark("list/warm_flat_50k", bm_warm_list, &flat)->Unit(ms);
    return true;
}

const bool registered = register_all();

}  // namespace
