// Playlist fixtures whose names carry the verdict: y_<name>.<ext> parses and
// renders exactly as y_<name>.json; n_<name>.<ext> fails with the status and
// error text of n_<name>.err.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "parser_test_util.h"

namespace fs = std::filesystem;

namespace {

const fs::path kDir = fs::path(QVX_TEST_DATA) / "parser";

std::string slurp(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool is_input(const fs::path &p, char verdict) {
    std::string name = p.filename().string();
    return name.size() > 2 && name[0] == verdict && name[1] == '_' && p.extension() != ".json" &&
           p.extension() != ".err";
}

}  // namespace

TEST(ParserFixtures, Accepted) {
    int seen = 0;
    for (const auto &e : fs::directory_iterator(kDir)) {
        if (!is_input(e.path(), 'y')) continue;
        ++seen;
        SCOPED_TRACE(e.path().filename().string());
        ASSERT_EQ(vqplp_parse_file(e.path().string().c_str()), 0) << vqplp_last_error();
        std::string want = slurp(fs::path(e.path()).replace_extension(".json"));
        while (!want.empty() && want.back() == '\n') want.pop_back();
        EXPECT_EQ(vqplp_result_json(), want);
    }
    EXPECT_GE(seen, 9);
}

TEST(ParserFixtures, Refused) {
    int seen = 0;
    for (const auto &e : fs::directory_iterator(kDir)) {
        if (!is_input(e.path(), 'n')) continue;
        ++seen;
        SCOPED_TRACE(e.path().filename().string());
        std::istringstream err(slurp(fs::path(e.path()).replace_extension(".err")));
        int status = 0;
        std::string text;
        err >> status;
        err.ignore();
        std::getline(err, text);
        EXPECT_EQ(vqplp_parse_file(e.path().string().c_str()), status);
        EXPECT_EQ(vqplp_last_error(), text);
        EXPECT_EQ(vqplp_item_count(), 0);
    }
    EXPECT_GE(seen, 4);
}
