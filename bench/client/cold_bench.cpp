// The cold path as a host meets it, each run in a fresh process (a child forked
// per run, so no page, cache slot or heap block of an earlier run helps):
//  - cold/root_60MiB: the root listing of a 60 MiB generated playlist through
//    the fake transport (fetch, change detection, parse, model, listing), side
//    by side with the plain parser of plain_parser.h over the same bytes
//    (parse only). x_plain is the plain parser's time over the listing's, so
//    above 1 the library's whole listing beats the plain parse. peak_x_body is
//    the resident memory the listing added at its peak over the body size.
//  - cold/amplify_*_32MiB: the same listing of 32 MiB playlists shaped to
//    amplify memory (tests/support/amplifying_playlists.h).
// Times are processor times of the child (user and system) around the operation;
// wall_ms gives the wall clock beside them. The aggregates are over the
// repetitions; the medians are the figures to quote.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "amplifying_playlists.h"
#include "bench_inputs.h"
#include "http/fake.h"
#include "plain_parser.h"
#include "quorvex_iptv.h"

namespace {

// The cold runs of a virtual machine vary by tens of percent, so the median
// is taken over many.
constexpr int kRepetitions = 11;

// A text scripted in the fake transport under its own URL.
struct served {
    served(const std::string &name, const std::string *body) : text(body) {
        std::string url = "http://bench.test/" + name;
        settings = "{\"URL\":\"" + url + "\"}";
        vqiptv_use_fake();
        quorvex_fake_reset();
        quorvex_fake_set("GET", url.c_str(), 200, nullptr, body->data(), body->size());
    }
    ~served() { quorvex_fake_reset(); }
    const std::string *text;
    std::string settings;
};

int list_root(const void *arg) {
    auto *s = static_cast<const served *>(arg);
    constexpr int32_t kOut = 1 << 20;
    std::unique_ptr<char[]> out(new char[kOut]);  // pages touched only as written
    return vqiptv_list(s->settings.c_str(), "/", out.get(), kOut);
}

// The entries stay alive: the library's listing does not free its model either.
int plain_only(const void *arg) {
    auto *entries = new std::vector<plain_entry>(plain_parse(*static_cast<const std::string *>(arg)));
    benchmark::DoNotOptimize(entries->data());
    return entries->empty() ? 1 : 0;
}

double megabytes(double bytes) { return bytes / 1e6; }

void report_peak(benchmark::State &state, const served &s, double peak) {
    auto body = static_cast<double>(s.text->size());
    state.counters["body_MB"] = megabytes(body);
    state.counters["peak_MB"] = megabytes(peak);
    state.counters["peak_x_body"] = peak / body;
}

void bm_cold_root(benchmark::State &state, const std::string *text) {
    served s("cold.m3u", text);
    double plain_s = 0, list_s = 0, wall_s = 0, peak = 0;
    for (auto _ : state) {
        cold_run base = in_fresh_process(plain_only, text);
        cold_run run = in_fresh_process(list_root, &s);
        if (base.rc != 0 || run.rc != 0) {
            state.SkipWithError("a cold run failed");
            return;
        }
        state.SetIterationTime(run.seconds);
        plain_s += base.seconds;
        list_s += run.seconds;
        wall_s += run.wall_seconds;
        peak = run.peak_bytes;
    }
    state.counters["plain_ms"] = plain_s * 1e3 / static_cast<double>(state.iterations());
    state.counters["x_plain"] = plain_s / list_s;
    state.counters["wall_ms"] = wall_s * 1e3 / static_cast<double>(state.iterations());
    report_peak(state, s, peak);
}

void bm_cold_amplified(benchmark::State &state, const std::string *text) {
    served s("shaped.m3u", text);
    double peak = 0, wall_s = 0;
    for (auto _ : state) {
        cold_run run = in_fresh_process(list_root, &s);
        if (run.rc != 0) {
            state.SkipWithError("a cold run failed");
            return;
        }
        state.SetIterationTime(run.seconds);
        wall_s += run.wall_seconds;
        peak = run.peak_bytes;
    }
    state.counters["wall_ms"] = wall_s * 1e3 / static_cast<double>(state.iterations());
    report_peak(state, s, peak);
}

void cold(benchmark::internal::Benchmark *b) {
    b->UseManualTime()->Iterations(1)->Repetitions(kRepetitions)->DisplayAggregatesOnly(true);
    b->Unit(benchmark::kMillisecond);
}

bool register_all() {
    static const std::string mb60 = big_playlist("60M");
    cold(benchmark::RegisterBenchmark("cold/root_60MiB", bm_cold_root, &mb60));
    static std::vector<std::string> shaped;
    shaped.reserve(std::size(amplifying_shapes()));
    for (const auto &shape : amplifying_shapes()) {
        shaped.push_back(amplifying_playlist(shape, 32u << 20));
        std::string name = std::string("cold/amplify_") + shape.name + "_32MiB";
        cold(benchmark::RegisterBenchmark(name.c_str(), bm_cold_amplified, &shaped.back()));
    }
    return true;
}

const bool registered = register_all();

}  // namespace
