// The DLL as a host loads it: by name from the program's folder, every export
// looked up with GetProcAddress, and a listing through the default network
// transport (WinHTTP) against a server on 127.0.0.1, revalidated with its ETag.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "quorvex_iptv.h"
#include "thread_outcomes.h"
#include "wire_server.h"

namespace qvt {
namespace {

constexpr const char *kDll = "quorvex-vequora-iptv-m3u-source-client.dll";
constexpr const char *kPlaylist =
    "#EXTM3U\n"
    "#EXTINF:-1 tvg-id=\"n1\" group-title=\"News\",News One\n"
    "http://127.0.0.1/n1.m3u8\n"
    "#EXTINF:-1 group-title=\"Music\",Music One\n"
    "http://127.0.0.1/m1.m3u8\n";

class Dll : public ::testing::Test {
protected:
    static void SetUpTestSuite() { lib = LoadLibraryA(kDll); }
    template <class F>
    static F fn(const char *name) {
        return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(lib, name)));
    }
    static HMODULE lib;
};
HMODULE Dll::lib = nullptr;

// The export list the Linux build links with: "    name;" lines.
std::vector<std::string> listed_exports() {
    std::ifstream map(QVX_EXPORTS_MAP);
    std::vector<std::string> names;
    for (std::string line; std::getline(map, line);) {
        size_t first = line.find_first_not_of(' ');
        if (first == 4 && line.back() == ';' && line.find(':') == std::string::npos)
            names.push_back(line.substr(4, line.size() - 5));
    }
    return names;
}

TEST_F(Dll, ExportsTheTwentyFunctionsAndNothingInternal) {
    ASSERT_NE(lib, nullptr) << GetLastError();
    std::vector<std::string> names = listed_exports();
    EXPECT_EQ(names.size(), 20u);
    for (const std::string &name : names) EXPECT_NE(GetProcAddress(lib, name.c_str()), nullptr) << name;
    for (const char *name : {"quorvex_http_winhttp", "quorvex_fake_set", "vqplp_parse", "fail"})
        EXPECT_EQ(GetProcAddress(lib, name), nullptr) << name;
    EXPECT_STREQ(fn<const char *(*)()>("vqiptv_version")(), "1.1.0");
    // Without libcurl the network transport is WinHTTP, and it is there.
    EXPECT_EQ(fn<int32_t (*)()>("vqiptv_use_curl")(), 0);
}

std::string playlist_answer(const wire_request &r) {
    if (r.target == "/old") return http_response(302, {"Location: /list.m3u"}, "");
    if (r.header("If-None-Match") == "\"v1\"") return http_response(304, {"ETag: \"v1\""}, "");
    return http_response(200, {"Content-Type: audio/x-mpegurl", "ETag: \"v1\""}, kPlaylist);
}

TEST_F(Dll, ListsOverWinHttpAndRevalidatesWithTheETag) {
    ASSERT_NE(lib, nullptr);
    wire_server server(playlist_answer);
    auto list = fn<int32_t (*)(const char *, const char *, char *, int32_t)>("vqiptv_list");
    auto last_error = fn<const char *(*)()>("vqiptv_last_error");
    ASSERT_EQ(fn<int32_t (*)(const quorvex_io *)>("vqiptv_set_io")(nullptr), 0);
    fn<void (*)()>("vqiptv_cache_clear")();
    ASSERT_EQ(fn<int32_t (*)(int32_t)>("vqiptv_cache_set_max_age")(0), 0);  // every listing revalidates

    const std::string settings = "{\"URL\":\"" + server.url("/old") + "\"}";
    char first[4096] = {}, second[4096] = {};
    ASSERT_EQ(list(settings.c_str(), "", first, sizeof first), 0) << last_error();
    ASSERT_EQ(list(settings.c_str(), "", second, sizeof second), 0) << last_error();
    EXPECT_STREQ(first, second);
    EXPECT_NE(std::string(first).find("\"id\":\"/News\""), std::string::npos) << first;
    EXPECT_NE(std::string(first).find("\"id\":\"/Music\""), std::string::npos) << first;

    char group[4096] = {};
    ASSERT_EQ(list(settings.c_str(), "/News", group, sizeof group), 0) << last_error();
    EXPECT_NE(std::string(group).find("\"tvg_id\":\"n1\""), std::string::npos) << group;

    auto seen = server.requests();
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen[0].target, "/old");
    EXPECT_EQ(seen[1].target, "/list.m3u");
    EXPECT_TRUE(seen[1].all("If-None-Match").empty());
    EXPECT_EQ(seen[1].all("User-Agent"), std::vector<std::string>{"quorvex-iptv/1.1.0"});
    bool revalidated = false;
    for (size_t i = 2; i < seen.size(); ++i) revalidated |= seen[i].header("If-None-Match") == "\"v1\"";
    EXPECT_TRUE(revalidated);
    std::string stats = fn<const char *(*)()>("vqiptv_stats_json")();
    EXPECT_EQ(stats.find("\"not_modified\":0"), std::string::npos) << stats;
}

// Committed private memory, region by region (what the heap takes for large
// blocks shows up here at once).
size_t private_bytes() {
    size_t sum = 0;
    MEMORY_BASIC_INFORMATION m{};
    for (const char *p = nullptr; VirtualQuery(p, &m, sizeof m) == sizeof m;
         p = static_cast<const char *>(m.BaseAddress) + m.RegionSize)
        if (m.State == MEM_COMMIT && m.Type == MEM_PRIVATE) sum += m.RegionSize;
    return sum;
}

// The DLL's thread-exit cleanup: 64 threads, each ending with a 1 MB document
// of its own kept, must leave no 64 MB behind (mingw's thread_local
// destructors left about half of them).
TEST_F(Dll, EachThreadReadsItsOwnOutcomeAndItsTextsEndWithIt) {
    ASSERT_NE(lib, nullptr);
    std::string big = "#EXTM3U\n";
    for (int i = 0; i < 6000; ++i)
        big += "#EXTINF:-1 group-title=\"Big\",Channel " + std::to_string(i) + "\nhttp://127.0.0.1/c" +
               std::to_string(i) + ".m3u8\n";
    wire_server server([&](const wire_request &) { return http_response(200, {}, big); });
    const outcome_exports x{fn<int32_t (*)(const char *, const char *, char *, int32_t)>("vqiptv_list"),
                            fn<const char *(*)()>("vqiptv_result_json"), fn<const char *(*)()>("vqiptv_last_error"),
                            fn<const char *(*)()>("vqiptv_stats_json")};
    ASSERT_EQ(fn<int32_t (*)(const quorvex_io *)>("vqiptv_set_io")(nullptr), 0);
    ASSERT_EQ(fn<int32_t (*)(int32_t)>("vqiptv_cache_set_max_age")(21600), 0);
    const std::string settings = "{\"URL\":\"" + server.url("/big.m3u") + "\"}";
    std::vector<own_outcome> want;
    for (const char *path : {"/Big", "/", "/Missing", "/Big"}) want.push_back(listed_alone(x, settings, path));
    ASSERT_GT(want[0].doc.size(), 1u << 20);
    ASSERT_EQ(thread_outcomes(x, settings, want, 2, 3), "");  // the heap settles at its working size
    const size_t before = private_bytes();
    EXPECT_EQ(thread_outcomes(x, settings, want, 32, 3), "");
    EXPECT_LT(private_bytes(), before + (16u << 20)) << before;
}

}  // namespace
}  // namespace qvt
