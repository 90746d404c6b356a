// The first step into an M3U answer.
#include "hls.h"

#include <gtest/gtest.h>

namespace {

using Kind = vqt::HlsStep::Kind;

TEST(FirstStep, FindsTheFirstVariantOrSegment) {
    const struct {
        const char *text;
        Kind kind;
        const char *uri;
        bool encrypted;
    } cases[] = {
        {"#EXTM3U\r\n#EXT-X-STREAM-INF:BANDWIDTH=1\r\n  low/index.m3u8 \r\nhigh/index.m3u8\r\n", Kind::variant,
         "low/index.m3u8", false},
        {"#EXTM3U\n#EXT-X-TARGETDURATION:1\n\n#EXTINF:1,\nseg0.ts\n#EXTINF:1,\nseg1.ts\n", Kind::segment, "seg0.ts",
         false},
        {"#EXTM3U\n#EXT-X-KEY:METHOD=AES-128,URI=\"k\"\n#EXTINF:1,\ns.ts\n", Kind::segment, "s.ts", true},
        {"#EXTM3U\n#EXT-X-KEY:METHOD=AES-128,URI=\"k\"\n#EXT-X-KEY:METHOD=NONE\ns.ts\n", Kind::segment, "s.ts", false},
        {"#EXTM3U\n#EXT-X-KEY:METHOD=SAMPLE-AES,URI=\"k\"\ns.ts", Kind::segment, "s.ts", false},
        {"#EXTM3U\n#EXT-X-ENDLIST\n", Kind::none, "", false},
    };
    for (const auto &c : cases) {
        vqt::HlsStep step = vqt::first_step(c.text);
        EXPECT_EQ(step.kind, c.kind) << c.text;
        EXPECT_EQ(step.uri, c.uri) << c.text;
        EXPECT_EQ(step.encrypted, c.encrypted) << c.text;
    }
}

}  // namespace
