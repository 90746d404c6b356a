// Throughput of vqplp_parse (decode + detect + parse) on big playlists, and
// the peak memory the parse adds, as a multiple of the input size; and of
// vqplp_parse_borrowed_each, the same reading without the stored copies.
//
// Inputs are made on first use into /tmp (never into the tree):
//   python3 make_big_playlist.py 10M  -o /tmp/vqplp_bench_10M.m3u
//   python3 make_big_playlist.py 100M -o /tmp/vqplp_bench_100M.m3u
// plus a GBK re-encoding of the 10 MB playlist (decoded through the GBK
// fallback) and a UTF-16LE one, with mark, of a 5 MB playlist (10 MB of bytes).
// Run: parser_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>

#include "playlist_parser/vqplp.h"

namespace {

const char *tool() {
    const char *env = std::getenv("QVX_BIG_PLAYLIST_TOOL");
    return env ? env : QVX_BIG_PLAYLIST_TOOL;
}

bool exists(const std::string &path) { return std::ifstream(path).good(); }

void run(const std::string &cmd) {
    if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", cmd.c_str());
        std::exit(1);
    }
}

std::string playlist(const std::string &size) {
    std::string path = "/tmp/vqplp_bench_" + size + ".m3u";
    if (!exists(path)) run("python3 " + std::string(tool()) + " " + size + " -o " + path + " >/dev/null");
    return path;
}

// Re-encodes a playlist with Python's codecs; a Chinese title line makes sure
// the GBK bytes are not UTF-8.
std::string recoded(const std::string &src, const std::string &codec) {
    std::string path = src + "." + codec;
    if (exists(path)) return path;
    run("python3 -c \"import sys; t=open(sys.argv[1],encoding='utf-8').read();"
        " t=t.replace('#EXTM3U\\n','#EXTM3U\\n#EXTINF:-1,\\u4e2d\\u6587\\nhttp://a/\\n',1);"
        " open(sys.argv[2],'wb').write(t.encode(sys.argv[3],errors='replace'))\" " +
        src + " " + path + " " + codec);
    return path;
}

const std::string &input(const std::string &path) {
    static std::map<std::string, std::string> cache;
    auto it = cache.find(path);
    if (it != cache.end()) return it->second;
    std::ifstream in(path, std::ios::binary);
    return cache[path] = std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

long status_kb(const char *key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::string(key).size());
    return 0;
}

// Physical memory the parse adds at its peak: reset the high-water mark, parse,
// read it back. The state is then cleared again.
double peak_bytes(const std::string &in) {
    vqplp_clear();
    std::ofstream("/proc/self/clear_refs") << "5";
    long before = status_kb("VmRSS:");
    vqplp_parse(in.data(), in.size(), VQPLP_FMT_AUTO);
    long peak = status_kb("VmHWM:");
    vqplp_clear();
    return static_cast<double>(peak - before) * 1024.0;
}

void bm_parse(benchmark::State &state, const std::string &path) {
    const std::string &in = input(path);
    double peak = peak_bytes(in);
    int32_t items = 0;
    for (auto _ : state) {
        int32_t rc = vqplp_parse(in.data(), in.size(), VQPLP_FMT_AUTO);
        if (rc != VQPLP_OK) state.SkipWithError(vqplp_last_error());
        items = vqplp_item_count();
        vqplp_clear();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
    state.counters["items"] = items;
    state.counters["input_MB"] = static_cast<double>(in.size()) / 1e6;
    state.counters["peak_MB"] = peak / 1e6;
    state.counters["peak_x_input"] = peak / static_cast<double>(in.size());
}

int count_entry(void *ctx, const vqplp_entry &) {
    ++*static_cast<int32_t *>(ctx);
    return 0;
}

// The engine alone: each entry handed to a sink as views into the caller's
// bytes, as the channel model takes them, so no copy of the text or of its
// strings is made and what is left is the decoder's check and the scans.
void bm_each(benchmark::State &state, const std::string &path) {
    const std::string &in = input(path);
    int32_t entries = 0;
    for (auto _ : state) {
        entries = 0;
        int32_t rc = vqplp_parse_borrowed_each(in.data(), in.size(), vqplp_sink{count_entry, nullptr, &entries});
        if (rc != VQPLP_OK) state.SkipWithError(vqplp_last_error());
        vqplp_clear();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
    state.counters["entries"] = entries;
}

void register_all() {
    std::string p10 = playlist("10M");
    benchmark::RegisterBenchmark("parse/utf8_10MB", bm_parse, p10)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("parse/utf8_100MB", bm_parse, playlist("100M"))->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("each/utf8_100MB", bm_each, playlist("100M"))->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("parse/gbk_fallback_10MB", bm_parse, recoded(p10, "gbk"))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("parse/utf16le_10MB", bm_parse, recoded(playlist("5M"), "utf-16"))
        ->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    register_all();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
