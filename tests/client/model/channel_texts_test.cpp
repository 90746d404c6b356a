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

// A channel without a name, so named after its location of len bytes.
std::string unnamed(size_t len) { return "#EXTM3U\n#EXTINF:-1,\nhttp://a/" + std::string(len - 9, 'x') + "\n"; }

TEST(ChannelTexts, NearUpToSixteenBitsFarBeyond) {
    const char *bad = "\xED\xA0\x80";  // repaired into the arena
    const struct {
        std::string text;
        channel_field field;
        std::string want;
        int far;
    } cases[] = {
        {logo_back(65534), channel_field::tvg_logo, "L", 0},
        {logo_back(65535), channel_field::tvg_logo, "L", 0},
        {logo_back(65536), channel_field::tvg_logo, "L", 1},
        {logo_back(300000), channel_field::tvg_logo, "L", 1},
        {unnamed(65534), channel_field::name, "http://a/" + std::string(65525, 'x'), 0},
        {unnamed(65535), channel_field::name, "http://a/" + std::string(65526, 'x'), 1},
        {unnamed(65536), channel_field::name, "http://a/" + std::string(65527, 'x'), 1},
        {unnamed(300000), channel_field::name, "http://a/" + std::string(299991, 'x'), 1},
        {"#EXTM3U\n#EXTINF:-1 tvg-id=\"a" + std::string(bad) + "\",N\nhttp://a/1\n", channel_field::tvg_id,
         "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", 1},
        {"#EXTM3U\n#EXTINF:-1 tvg-name=\"M\",\nhttp://a/" + std::string(bad) + "\n", channel_field::tvg_name, "M", 2},
        {"#EXTM3U\n#EXTINF:-1 referer=\"R\",N\nhttp://a/1\n", channel_field::referrer, "R", 1},
    };
    for (const auto &c : cases) {
        converted m;
        convert_bytes(c.text, &m);
        ASSERT_EQ(m.status, 0) << m.err;
        ASSERT_EQ(m.p->channel_count, 1);
        EXPECT_EQ(channel_text(m.p, 0, c.field), c.want) << c.text.size();
        EXPECT_EQ(m.p->far_text_count, c.far) << c.text.size();
        EXPECT_EQ(channel_text(m.p, 0, channel_field::user_agent), "");
    }
}

}  // namespace
