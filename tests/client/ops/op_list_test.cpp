// The root listing kept with its cached playlist: kept up to kMaxKeptRoot
// bytes and copied by a cache hit, written anew above that; either way every
// listing, and the document read back after -9, are the same bytes.
#include <gtest/gtest.h>

#include <string>

#include "http/fake.h"
#include "source_client/api/io_select.h"
#include "source_client/cache/cache.h"
#include "source_client/model/channel_model.h"
#include "source_client/ops/operations.h"
#include "source_client/ops/results.h"
#include "source_client/util/message.h"

using namespace vqc;

namespace {

// The root of a playlist of one channel without a group grows byte for byte
// with the channel's title; read back after -9, as a host with a small
// buffer does.
std::string root_of(const std::string &url, size_t title_len) {
    std::string body = "#EXTM3U\n#EXTINF:-1," + std::string(title_len, 't') + "\nhttp://h/1\n";
    EXPECT_EQ(quorvex_fake_set("GET", url.c_str(), 200, nullptr, body.data(), body.size()), 0);
    char small[8];
    EXPECT_EQ(vqiptv_list(("{\"URL\":\"" + url + "\"}").c_str(), "/", small, sizeof small), QVX_E_BUFFER_TOO_SMALL);
    return vqiptv_result_json();
}

// The cached playlist of url, as the next listing finds it.
const playlist *cached(const std::string &url) {
    char msg[kMsgSize];
    playlist *pl = nullptr;
    vqp::Guard hold(g_lock);
    EXPECT_EQ(ensure(vqiptv_io_fake(), url.c_str(), 0, &pl, msg), 0) << msg;
    return pl;
}

TEST(KeptRoot, KeptUpToItsLimitAndEveryListingTheSame) {
    ASSERT_EQ(vqiptv_use_fake(), 0);
    const std::string url = "http://kept.test/1", settings = "{\"URL\":\"" + url + "\"}";
    const size_t overhead = root_of(url, 1).size() - 1;
    for (size_t len : {kMaxKeptRoot - 1, kMaxKeptRoot, kMaxKeptRoot + 1, 3 * kMaxKeptRoot}) {
        SCOPED_TRACE(len);
        vqiptv_cache_clear();
        const std::string first = root_of(url, len - overhead);
        ASSERT_EQ(first.size(), len);
        EXPECT_EQ(cached(url)->root_doc != nullptr, len <= kMaxKeptRoot);
        std::string out(len + 1, 'x');
        ASSERT_EQ(vqiptv_list(settings.c_str(), "/", out.data(), static_cast<int32_t>(len + 1)), 0);
        EXPECT_EQ(out.c_str(), first);
        EXPECT_EQ(vqiptv_list(settings.c_str(), "/", out.data(), static_cast<int32_t>(len)), QVX_E_BUFFER_TOO_SMALL);
        EXPECT_EQ(vqiptv_last_error(), "output buffer too small: need " + std::to_string(len + 1) + " bytes");
        EXPECT_EQ(vqiptv_result_json(), first);
    }
    vqiptv_cache_clear();
    quorvex_fake_reset();
}

}  // namespace
