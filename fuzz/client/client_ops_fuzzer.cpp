// Drives validation, listing and stream resolution with arbitrary settings,
// path and entry texts over the fake transport. Input: a first byte that
// picks the output buffer size, then the texts separated by NUL bytes
// (settings, path, entry, then an optional playlist served at
// http://f.example/p.m3u), read after their runs are expanded (runs.h): a
// settings URL or a stream_url of 20,000 bytes, or a location whose header
// suffix ("|Name=Value&...") holds thousands of pairs, is a few bytes of
// input. The channels the path lists resolve back by their entries.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "../invariants.h"
#include "../runs.h"
#include "common/alloc.h"
#include "quorvex_iptv.h"
#include "source_client/fetch/transport_stats.h"

using namespace vqc;

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

// Listed entries resolved back per input: enough to reach every kind of
// channel a short playlist holds, few enough to keep a run fast.
constexpr unsigned kResolved = 4;
// Room for the listing of a playlist as long as texts grow, every byte of
// it escaped.
constexpr size_t kListingCap = 8 * fuzz_runs::kMaxExpanded;
constexpr size_t kOutCap = size_t{4096} << 9;

// A caller's buffer of len bytes: the last bytes of one block kept for all
// inputs, so a write past its end is still one AddressSanitizer sees, and no
// input pays for clearing megabytes.
struct buffer {
    char *data;
    int32_t len;
};

buffer last_bytes(std::vector<char> &block, size_t len) {
    return {block.data() + block.size() - len, static_cast<int32_t>(len)};
}

std::vector<std::string> fields(const std::string &text) {
    std::vector<std::string> out(1);
    for (char c : text) {
        if (c == '\0' && out.size() < 4) {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    out.resize(4);
    return out;
}

// A documented status, and on success a whole, strict JSON document.
void answered(int32_t status, buffer out) {
    fuzz_check::documented_status(status);
    if (status == 0) fuzz_check::strict_json(out.data);
}

// The first entries of a listing, each handed back as a host would.
void resolve_listed(const char *settings, const char *listing, buffer out) {
    vqjson::Doc doc;
    fuzz_check::require(vqjson::parse_strict(doc, listing) == vqjson::kOk && doc.IsArray());
    unsigned resolved = 0;
    for (const auto &entry : doc.GetArray()) {
        if (resolved++ == kResolved) break;
        char *text = nullptr;
        size_t len = 0;
        fuzz_check::require(vqjson::write_compact(entry, &text, &len) == vqjson::kOk);
        answered(vqiptv_stream_url(settings, text, out.data, out.len), out);
        vq_free(text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = [] {
        vqiptv_use_fake();
        return true;
    }();
    (void)ready;
    if (size == 0) return 0;
    vqiptv_fake_reset();
    vqiptv_fake_set("https://iptv-org.github.io/iptv/index.category.m3u", 200, kPlaylist);
    std::vector<std::string> f = fields(fuzz_runs::expand({reinterpret_cast<const char *>(data + 1), size - 1}));
    if (!f[3].empty()) vqiptv_fake_set("http://f.example/p.m3u", 200, f[3].c_str());
    vqiptv_cache_clear();
    vqiptv_curl_reset();
    static std::vector<char> out_block(kOutCap), listing_block(kListingCap);
    // Tiny buffers reach -9; the others, 4 KiB to 2 MiB, hold long answers.
    const buffer out = last_bytes(out_block, data[0] < 64 ? data[0] : size_t{4096} << data[0] % 10);
    const char *settings = f[0].c_str();
    answered(vqiptv_validate(settings, out.data, out.len), out);
    answered(vqiptv_list(settings, f[1].c_str(), out.data, out.len), out);
    answered(vqiptv_list(settings, nullptr, out.data, out.len), out);
    answered(vqiptv_stream_url(settings, f[2].c_str(), out.data, out.len), out);
    const buffer listing = last_bytes(listing_block, kListingCap);
    if (vqiptv_list(settings, f[1].c_str(), listing.data, listing.len) == 0)
        resolve_listed(settings, listing.data, out);
    return 0;
}
