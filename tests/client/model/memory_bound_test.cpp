// What a cold root listing costs at its peak over playlists shaped to make the
// library spend the most memory per input byte, counted by the allocation
// seam (every block of the fetch, the parser and the model) rather than timed:
// a hostile playlist must not cost a multiple of its size that kills a small
// host. The ratio does not depend on the size, so 4 MiB keeps the test quick.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "amplifying_playlists.h"
#include "api_support.h"
#include "common/alloc.h"
#include "http/http.h"

// Names the shape in test names and failures instead of dumping its bytes.
static void PrintTo(const amplifying_shape &shape, std::ostream *os) { *os << shape.name; }

namespace {

constexpr size_t kBodyBytes = size_t{4} << 20;
constexpr double kMaxPeakPerBodyByte = 4.0;

class MemoryBound : public ::testing::TestWithParam<amplifying_shape> {
protected:
    void SetUp() override {
        vqiptv_use_fake();
        vqiptv_cache_clear();
        quorvex_fake_reset();
    }
    void TearDown() override {
        vq_mem_track(false);
        vqiptv_cache_clear();
        quorvex_fake_reset();
    }
};

TEST_P(MemoryBound, ColdRootListingStaysWithinFourTimesTheBody) {
    const std::string body = amplifying_playlist(GetParam(), kBodyBytes);
    const std::string url = std::string("http://mem.test/") + GetParam().name + ".m3u";
    // Announced as servers announce it, so the fetch sizes its buffer once.
    const std::string headers = "Content-Length: " + std::to_string(body.size()) + "\n";
    ASSERT_EQ(quorvex_fake_set("GET", url.c_str(), 200, headers.c_str(), body.data(), body.size()), 0);
    const std::string settings = settings_for(url);
    vq_mem_track(true);  // the route's own copy of the body stays out of the count
    answer root = list_folder(settings, "/");
    auto peak = static_cast<double>(vq_mem_peak());
    vq_mem_track(false);
    ASSERT_EQ(root.status, QVX_OK) << root.error;
    EXPECT_LE(peak / static_cast<double>(body.size()), kMaxPeakPerBodyByte)
        << GetParam().name << ": peak " << peak << " bytes for a body of " << body.size();
}

INSTANTIATE_TEST_SUITE_P(Shapes, MemoryBound, ::testing::ValuesIn(amplifying_shapes()),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
