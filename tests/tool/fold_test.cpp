// Folding names: the scripts channel lists are written in meet their capitals,
// accents and look-alikes go, and bytes that are not UTF-8 pass through.
#include <gtest/gtest.h>

#include <string>

#include "fold.h"

namespace {

TEST(FoldCase, CapitalsMeetTheirSmallLetters) {
    struct Case {
        const char *a, *b;
    };
    for (Case c : {Case{"MÚSICA", "Música"}, {"ÇA VA ÉTÉ", "ça va été"}, {"ΟΔΟΣ", "οδος"}, {"ΟΔΟΣ", "οδοσ"},
                   {"ЯНДЕКС ТВ", "яндекс тв"}, {"ÆØÅ ÄÖÜ", "æøå äöü"}, {"News 24", "NEWS 24"}, {"musica", "Música"},
                   {"ΟΔΟΣ", "ΟΔΌΣ"}, {"strasse", "Straße"}, {"NEWS", "ＮＥＷＳ"}, {"info-tv", "Info\xE2\x80\x90TV"},
                   {"infotv", "Info\xC2\xADTV"}, {"cafe", "Cafe\xCC\x81"}}) {
        EXPECT_EQ(vqt::fold_for_matching(c.a), vqt::fold_for_matching(c.b)) << c.a << " / " << c.b;
    }
    EXPECT_EQ(vqt::fold_for_matching("MÚSICA Ω"), "musica ω");
    EXPECT_NE(vqt::fold_for_matching("ÆØ"), vqt::fold_for_matching("ao"));  // letters of their own, not accents
}

TEST(FoldCase, BytesThatAreNotUtf8PassThrough) {
    const std::string odd("A\xff" "B\xc3", 4), nul("A\0B", 3);
    EXPECT_EQ(vqt::fold_for_matching(odd), std::string("a\xff" "b\xc3", 4));
    EXPECT_EQ(vqt::fold_for_matching(nul), std::string("a\0b", 3));
}

}  // namespace
