// Channels by id: the first of an id in playlist order, whether the index of
// ids is made or, memory short, the channels are searched one by one.
#include <gtest/gtest.h>

#include <string>

#include "model_support.h"
#include "text_check.h"

namespace {

TEST(ChannelById, FindsTheFirstOfAnIdWithOrWithoutTheIndex) {
    std::string text = "#EXTM3U\n";
    for (int i = 0; i < 3000; i++)  // 1000 ids, each in three groups
        text += "#EXTINF:-1 group-title=\"" + std::to_string(i / 1000) + "\",\nhttp://a/" + std::to_string(i % 1000) + "\n";
    for (bool index_made : {true, false}) {
        converted m;
        convert_bytes(text, &m);
        ASSERT_EQ(m.status, 0) << m.err;
        if (!index_made) vq_alloc_fail_from(1);
        for (int32_t i : {0, 999, 1000, 2999}) EXPECT_EQ(channel_by_id(m.p, m.p->channels[i].id), i % 1000) << i;
        EXPECT_EQ(channel_by_id(m.p, fnv1a("http://a/1000\x1f")), -1);
        vq_alloc_disarm();
        EXPECT_EQ(m.p->by_id.slots != nullptr, index_made);
    }
}

}  // namespace
