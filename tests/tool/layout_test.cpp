// Measuring and cutting text as a terminal shows it, and laying out tables.
#include <gtest/gtest.h>

#include <sstream>

#include "layout.h"

namespace {

using vqt::cut_end;
using vqt::cut_middle;
using vqt::display_width;

const std::string kEllipsis = "\xE2\x80\xA6";

TEST(Text, WidthCountsCellsNotBytes) {
    EXPECT_EQ(display_width("News"), 4u);
    EXPECT_EQ(display_width("24 \xD0\x9A\xD0\xB0\xD0\xBD\xD0\xB0\xD0\xBB"), 8u);  // Cyrillic: one cell each
    EXPECT_EQ(display_width("\xE9\xB9\xA4\xE5\xA3\x81"), 4u);                      // CJK: two cells each
    EXPECT_EQ(display_width("e\xCC\x81"), 1u);                                    // combining accent
    EXPECT_EQ(display_width("a\xFF" "b"), 3u);                                    // a bad byte shows as "?"
    EXPECT_EQ(display_width(std::string(33, 'a') + "\xE9\xB9\xA4" + std::string(20, 'b')), 55u);  // long ASCII runs
}

TEST(Text, PrintableReplacesControlsAndBadBytes) {
    EXPECT_EQ(vqt::printable("a\tb\x1B[2Jc"), "a b [2Jc");
    EXPECT_EQ(vqt::printable("d\x7F\xC2\x9B" "31m\xC2\x9F\xC2\xA0"), "d  31m \xC2\xA0");  // DEL, C1 CSI and APC
    EXPECT_EQ(vqt::printable("x\xC3"), "x?");
    EXPECT_EQ(vqt::printable("\xED\xA0\x80"), "???");  // an encoded surrogate is not UTF-8
    EXPECT_EQ(vqt::printable(std::string(17, 'a') + "\x1B" + std::string(16, 'b')),
              std::string(17, 'a') + " " + std::string(16, 'b'));
}

TEST(Text, CutEndKeepsTheStart) {
    EXPECT_EQ(cut_end("Channel", 7), "Channel");
    EXPECT_EQ(cut_end("Channel", 5), "Chan" + kEllipsis);
    EXPECT_EQ(display_width(cut_end("\xE9\xB9\xA4\xE5\xA3\x81\xE6\x96\xB0", 4)), 3u);  // never splits a wide glyph
    EXPECT_EQ(cut_end("abc", 0), "");
}

TEST(Text, CutMiddleKeepsHostAndLastSegment) {
    std::string url = "https://streams.example.com/live/channel/one/two/three/index.m3u8";
    std::string cut = cut_middle(url, 40);
    EXPECT_EQ(display_width(cut), 40u);
    EXPECT_EQ(cut.rfind("https://streams.example.com", 0), 0u) << cut;
    EXPECT_NE(cut.find(kEllipsis), std::string::npos);
    EXPECT_EQ(cut.substr(cut.size() - 10), "index.m3u8");
    EXPECT_EQ(cut_middle(url, 200), url);
    std::string long_host = "http://" + std::string(60, 'h') + ".example/live/stream.m3u8";
    std::string narrow = cut_middle(long_host, 30);
    EXPECT_EQ(display_width(narrow), 30u);
    EXPECT_EQ(narrow.substr(narrow.size() - 8), "eam.m3u8") << narrow;
}

TEST(Table, ColumnsAlignAndNumbersGoRight) {
    vqt::Table t({{"GROUP", false, vqt::Cut::end}, {"CHANNELS", true, vqt::Cut::none}});
    t.add({"News", "5"});
    t.add({"Animation", "34"});
    EXPECT_EQ(t.render(0), "GROUP      CHANNELS\nNews              5\nAnimation        34\n");
}

TEST(Table, ShrinksToTheLimitByCuttingTheWidestColumn) {
    vqt::Table t({{"NAME", false, vqt::Cut::end}, {"ID", false, vqt::Cut::none}, {"URL", false, vqt::Cut::middle}});
    t.add({"A rather long channel name (1080p)", "0123456789abcdef", "https://example.com/a/very/long/path/index.m3u8"});
    std::istringstream lines(t.render(60));
    std::string line;
    while (std::getline(lines, line)) {
        EXPECT_LE(display_width(line), 60u) << line;
    }
    EXPECT_NE(t.render(60).find("0123456789abcdef"), std::string::npos);  // the id column is never cut
    EXPECT_NE(t.render(60).find(kEllipsis), std::string::npos);
}

TEST(Table, ColumnsStopShrinkingAtAFloor) {
    vqt::Table t({{"NAME", false, vqt::Cut::end}, {"ID", false, vqt::Cut::none}});
    t.add({"Some channel", "0123456789abcdef"});
    std::string out = t.render(10);
    EXPECT_NE(out.find("Some \xE2\x80\xA6  0123"), std::string::npos) << out;  // six cells at least
    EXPECT_NE(out.find("0123456789abcdef"), std::string::npos);
}

}  // namespace
