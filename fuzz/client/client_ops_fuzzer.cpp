// Drives validation, listing and stream resolution with arbitrary settings,
// path and entry texts over the fake transport. Input: the texts separated by
// NUL bytes (settings, path, entry, then an optional playlist served at
// http://f.example/p.m3u); the first byte also picks the output buffer size.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../invariants.h"
#include "quorvex_iptv.h"
#include "source_client/cache.h"

namespace {

const char *kPlaylist =
    "#EXTM3U\n"
    "#EXTINF:-1 tvg-id=\"n1\" tvg-logo=\"http://l/1.png\" group-title=\"News\",News One\n"
    "#EXTVLCOPT:http-user-agent=Agent/1\n"
    "http://s.example/n1.m3u8\n"
    "#EXTINF:-1 group-title=\"A/B\" http-referrer=\"http://r/\",Slash/Name\n"
    "rtmp://s.example/ab\n"
    "#EXTINF:-1,Untitled\n"
    "udp://@239.0.0.1:1234\n";

std::vector<std::string> fields(const uint8_t *data, size_t size) {
    std::vector<std::string> out(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && out.size() < 4) {
            out.emplace_back();
        } else {
            out.back() += static_cast<char>(data[i]);
        }
    }
    out.resize(4);
    return out;
}

// A documented status, and on success a whole, strict JSON document.
void answered(int32_t status, const std::vector<char> &out) {
    fuzz_check::documented_status(status);
    if (status == 0) fuzz_check::strict_json(out.data());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = [] {
        vqiptv_use_fake();
        return true;
    }();
    (void)ready;
    vqiptv_fake_reset();
    vqiptv_fake_set("https://iptv-org.github.io/iptv/index.category.m3u", 200, kPlaylist);
    std::vector<std::string> f = fields(data, size);
    if (!f[3].empty()) vqiptv_fake_set("http://f.example/p.m3u", 200, f[3].c_str());
    vqiptv_cache_clear();
    vqiptv_curl_reset();
    std::vector<char> out(size && data[0] < 64 ? data[0] : 4096);
    const int32_t n = static_cast<int32_t>(out.size());
    const char *settings = f[0].c_str();
    answered(vqiptv_validate(settings, out.data(), n), out);
    answered(vqiptv_list(settings, f[1].c_str(), out.data(), n), out);
    answered(vqiptv_list(settings, nullptr, out.data(), n), out);
    answered(vqiptv_stream_url(settings, f[2].c_str(), out.data(), n), out);
    // Every listed entry resolves back.
    std::vector<char> listing(1 << 16);
    if (vqiptv_list(settings, f[1].c_str(), listing.data(), static_cast<int32_t>(listing.size())) == 0) {
        fuzz_check::strict_json(listing.data());
        answered(vqiptv_stream_url(settings, listing.data(), out.data(), n), out);
    }
    return 0;
}
