// Where a channel's texts are kept: in its record while they start at most
// 65535 bytes before the location and are under 65535 bytes long, in the far
// table past either bound, as are repaired copies and the headers. Either way
// they read back whole.
#include <gtest/gtest.h>

#include <string>

#include "model_support.h"

namespace {

// A channel whose tvg-logo "L" starts `back` bytes before its location.
std::string logo_back(size_t back) {
    return "#EXTM3U\n#EXTINF:-1 tvg-logo=\"L\" x=\"" + std::string(back - 10, 'y') + "\",T\nhttp://a/1\n";
}

// A location of len bytes, and a channel without a name, so named after it.
std::string location(size_t len) { return "http://a/" + std::string(len - 9, 'x'); }
std::string unnamed(size_t len) { return "#EXTM3U\n#EXTINF:-1,\n" + location(len) + "\n"; }

// The text of field in the one channel of text, and how many texts are far.
void expect_text(const std::string &text, channel_field field, const std::string &want, int far) {
    converted m;
    convert_bytes(text, &m);
    ASSERT_EQ(m.status, 0) << m.err;
    ASSERT_EQ(m.p->channel_count, 1);
    EXPECT_EQ(channel_text(m.p, 0, field), want) << text.size();
    EXPECT_EQ(m.p->far_text_count, far) << text.size();
    EXPECT_EQ(channel_text(m.p, 0, channel_field::user_agent), "");
}

TEST(ChannelTexts, NearUpToSixteenBitsFarBeyond) {
    for (size_t n : {65534, 65535, 65536, 300000}) {
        expect_text(logo_back(n), channel_field::tvg_logo, "L", n > 65535);
        expect_text(unnamed(n), channel_field::name, location(n), n >= 65535);
    }
    const std::string bad = "\xED\xA0\x80";  // repaired into the arena
    expect_text("#EXTM3U\n#EXTINF:-1 tvg-id=\"a" + bad + "\",N\nhttp://a/1\n", channel_field::tvg_id,
                "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", 1);
    expect_text("#EXTM3U\n#EXTINF:-1 tvg-name=\"M\",\nhttp://a/" + bad + "\n", channel_field::tvg_name, "M", 2);
    expect_text("#EXTM3U\n#EXTINF:-1 referer=\"R\",N\nhttp://a/1\n", channel_field::referrer, "R", 1);
}

}  // namespace
