// Case folding of names: the scripts channel lists are written in meet their
// capitals, and bytes that are not UTF-8 pass through.
#include <gtest/gtest.h>

#include <string>

#include "fold.h"

namespace {

TEST(FoldCase, CapitalsMeetTheirSmallLetters) {
    struct Case {
        const char *a, *b;
    };
    for (Case c : {Case{"MÚSICA", "Música"}, {"ÇA VA ÉTÉ", "ça va été"}, {"ΟΔΟΣ", "οδος"}, {"ΟΔΟΣ", "οδοσ"},
                   {"ЯНДЕКС ТВ", "яндекс тв"}, {"ÆØÅ ÄÖÜ", "æøå äöü"}, {"News 24", "NEWS 24"}}) {
        EXPECT_EQ(vqt::fold_case(c.a), vqt::fold_case(c.b)) << c.a << " / " << c.b;
    }
    EXPECT_EQ(vqt::fold_case("MÚSICA Ω"), "música ω");
    EXPECT_NE(vqt::fold_case("ΟΔΟΣ"), vqt::fold_case("ΟΔΌΣ"));  // an accent is not a case
}

TEST(FoldCase, BytesThatAreNotUtf8PassThrough) {
    const std::string odd("A\xff" "B\xc3", 4), nul("A\0B", 3);
    EXPECT_EQ(vqt::fold_case(odd), std::string("a\xff" "b\xc3", 4));
    EXPECT_EQ(vqt::fold_case(nul), std::string("a\0b", 3));
}

}  // namespace
