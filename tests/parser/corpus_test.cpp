// Every playlist of the real corpus parses without an error; a few are checked
// entry by entry.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "parser_test_util.h"

using namespace ptest;
namespace fs = std::filesystem;


TEST(ParserCorpus, EveryPlaylistParses) {
    int files = 0;
    for (const auto &e : fs::recursive_directory_iterator(QVX_CORPUS_DIR)) {
        if (!e.is_regular_file() || e.path().extension() != ".m3u") continue;
        ++files;
        SCOPED_TRACE(e.path().string());
        EXPECT_EQ(vqplp_parse_file(e.path().c_str()), 0) << vqplp_last_error();
        EXPECT_EQ(vqplp_detected_format(), VQPLP_FMT_M3U);
        EXPECT_STRNE(vqplp_result_json(), "{}");
    }
    EXPECT_EQ(files, 729);
}
