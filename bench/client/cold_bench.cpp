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
//  - cold/huge_*: root listings far bigger than their playlist: a flat list of
//    1.2 million bare locations (every channel at the root) and 1.2 million
//    groups of one channel each (every group a folder). The document is read
//    back through vqiptv_result_json after -9, as a host with a small buffer
//    does, so the caller's copy of it is not counted.
// peak_MB is the resident memory the run added at its peak, seam_MB the peak
// of the bytes live in the library's allocation seam (the library's own
// blocks, the document among them).
// Times are processor times of the child (user and system) around the operation;
// wall_ms gives the wall clock beside them. The aggregates are over the
// repetitions; the medians are the figures to quote.
#include <benchmark/benchmark.h>

#include <cstdio>
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
    int rc = vqiptv_list(s->settings.c_str(), "/", out.get(), kOut);
    return rc == QVX_E_BUFFER_TOO_SMALL && vqiptv_result_json()[0] == '[' ? 0 : rc;
}

// The entries stay alive: the library's listing does not free its model either.
int plain_only(const void *arg) {
    auto *entries = new std::vector<plain_entry>(plain_parse(*static_cast<const std::string *>(arg)));
    benchmark::DoNotOptimize(entries->data());
    return entries->empty() ? 1 : 0;
}

double megabytes(double bytes) { return bytes / 1e6; }

void report_peak(benchmark::State &state, const served &s, const cold_run &run) {
    auto body = static_cast<double>(s.text->size());
    state.counters["body_MB"] = megabytes(body);
    state.counters["peak_MB"] = megabytes(run.peak_bytes);
    state.counters["peak_x_body"] = run.peak_bytes / body;
    state.counters["seam_MB"] = megabytes(run.seam_peak_bytes);
    state.counters["seam_x_body"] = run.seam_peak_bytes / body;
}

void bm_cold_root(benchmark::State &state, const std::string *text) {
    served s("cold.m3u", text);
    double plain_s = 0, list_s = 0, wall_s = 0;
    cold_run last{};
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
        last = run;
    }
    state.counters["plain_ms"] = plain_s * 1e3 / static_cast<double>(state.iterations());
    state.counters["x_plain"] = plain_s / list_s;
    state.counters["wall_ms"] = wall_s * 1e3 / static_cast<double>(state.iterations());
    report_peak(state, s, last);
}

void bm_cold_amplified(benchmark::State &state, const std::string *text) {
    served s("shaped.m3u", text);
    double wall_s = 0;
    cold_run last{};
    for (auto _ : state) {
        cold_run run = in_fresh_process(list_root, &s);
        if (run.rc != 0) {
            state.SkipWithError("a cold run failed");
            return;
        }
        state.SetIterationTime(run.seconds);
        wall_s += run.wall_seconds;
        last = run;
    }
    state.counters["wall_ms"] = wall_s * 1e3 / static_cast<double>(state.iterations());
    report_peak(state, s, last);
}

void cold(benchmark::internal::Benchmark *b, int repetitions = kRepetitions) {
    b->UseManualTime()->Iterations(1)->Repetitions(repetitions)->DisplayAggregatesOnly(true);
    b->Unit(benchmark::kMillisecond);
}

constexpr int kHugeCount = 1200000;

// "#EXTM3U" and count lines made by line(i).
template <class Line>
std::string numbered_lines(int count, Line line) {
    std::string text = "#EXTM3U\n";
    char buf[96];
    for (int i = 0; i < count; i++) text.append(buf, static_cast<size_t>(line(buf, sizeof buf, i)));
    return text;
}

std::string bare_locations() {
    return numbered_lines(kHugeCount, [](char *b, size_t n, int i) {
        return std::snprintf(b, n, "http://stream.test/live/%08d\n", i);
    });
}

std::string one_channel_groups() {
    return numbered_lines(kHugeCount, [](char *b, size_t n, int i) {
        return std::snprintf(b, n, "#EXTINF:-1 group-title=\"%07d\",x\nhttp://t/%07d\n", i, i);
    });
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
    // The old code took about ten seconds for each: three runs.
    static const std::string flat = bare_locations(), groups = one_channel_groups();
    cold(benchmark::RegisterBenchmark("cold/huge_flat_1.2M", bm_cold_amplified, &flat), 3);
    cold(benchmark::RegisterBenchmark("cold/huge_groups_1.2M", bm_cold_amplified, &groups), 3);
    return true;
}

const bool registered = register_all();

}  // namespace
