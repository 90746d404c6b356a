// Which names the tool offers for one that names nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "suggest.h"

namespace {

TEST(Suggest, LetterCaseFirstThenTheFewestEdits) {
    struct Case {
        const char *typed;
        std::vector<std::string> offered;
    };
    const std::vector<std::string> groups = {"News", "Sports", "Sport TV", "Música", "Новости", "Spirit", "Newz"};
    for (const Case &c : {Case{"NEWS", {"News"}}, Case{"MÚSICA", {"Música"}}, Case{"новости", {"Новости"}},
                          Case{"Nwes", {"News"}},                 // a swap is one edit; "Newz" is two
                          Case{"Sportv", {"Sports", "Sport TV"}},  // nearest first
                          Case{"Новсти", {"Новости"}}, Case{"Weather", {}}})
        EXPECT_EQ(vqt::nearest_names(c.typed, groups), c.offered) << c.typed;
    std::vector<std::string> with_long = groups;
    with_long.push_back(std::string(1 << 20, 'N'));  // as far from any typed name as it is long
    EXPECT_EQ(vqt::nearest_names("Nwes", with_long), std::vector<std::string>{"News"});
    EXPECT_EQ(vqt::nearest_names("a", {"b", "c", "d", "e"}).size(), 3u) << "three at most";
}

TEST(Suggest, OneTwoOrMoreNamesReadAsAQuestion) {
    EXPECT_EQ(vqt::did_you_mean({}), "");
    EXPECT_EQ(vqt::did_you_mean({"A"}), "did you mean \"A\"?");
    EXPECT_EQ(vqt::did_you_mean({"A", "B", "C"}), "did you mean \"A\", \"B\" or \"C\"?");
}

}  // namespace
