// Where a channel's texts are kept: in its record while they start at most
// 65535 bytes before the location and are under 65535 bytes long, in the far
// table past either bound. Either way they read back whole.
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
    const struct {
        std::string text;
        channel_field field;
        std::string want;
        bool far;
    } cases[] = {
        {logo_back(65534), channel_field::tvg_logo, "L", false},
        {logo_back(65535), channel_field::tvg_logo, "L", false},
        {logo_back(65536), channel_field::tvg_logo, "L", true},
        {logo_back(300000), channel_field::tvg_logo, "L", true},
        {unnamed(65534), channel_field::name, "http://a/" + std::string(65525, 'x'), false},
        {unnamed(65535), channel_field::name, "http://a/" + std::string(65526, 'x'), true},
        {unnamed(65536), channel_field::name, "http://a/" + std::string(65527, 'x'), true},
        {unnamed(300000), channel_field::name, "http://a/" + std::string(299991, 'x'), true},
    };
    for (const auto &c : cases) {
        converted m;
        convert_bytes(c.text, &m);
        ASSERT_EQ(m.status, 0) << m.err;
        ASSERT_EQ(m.p->channel_count, 1);
        EXPECT_EQ(channel_text(m.p, 0, c.field), c.want) << c.text.size();
        EXPECT_EQ(m.p->far_text_count, c.far ? 1 : 0) << c.text.size();
        EXPECT_EQ(channel_text(m.p, 0, channel_field::tvg_id), "");
    }
}

// Repaired copies live in the arena, far from any location; the user agent
// and referrer always sit in the far table, after the channel's other texts.
TEST(ChannelTexts, RepairedTextsAndHeadersAreFar) {
    converted m;
    convert_bytes("#EXTM3U\n#EXTINF:-1 tvg-id=\"a\xED\xA0\x80\" http-referrer=\"R\",N\nhttp://a/1\n"
                  "#EXTINF:-1 tvg-name=\"M\" user-agent=\"U\",\nhttp://a/\xED\xA0\x80\n",
                  &m);
    ASSERT_EQ(m.status, 0) << m.err;
    EXPECT_EQ(channel_text(m.p, 0, channel_field::tvg_id), "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(channel_text(m.p, 0, channel_field::referrer), "R");
    EXPECT_EQ(channel_text(m.p, 0, channel_field::name), "N");
    EXPECT_EQ(channel_text(m.p, 1, channel_field::name), "M");
    EXPECT_EQ(channel_text(m.p, 1, channel_field::tvg_name), "M");
    EXPECT_EQ(channel_text(m.p, 1, channel_field::user_agent), "U");
    EXPECT_EQ(channel_text(m.p, 1, channel_field::referrer), "");
    // tvg-id and referrer; then, the location being a repaired copy, name and
    // tvg-name, and the agent.
    EXPECT_EQ(m.p->far_text_count, 5);
}

}  // namespace
