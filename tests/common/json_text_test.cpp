// The text writer against the tree writer it stands in for: the same bytes for
// every string and number. (Its shortages are those of the listings, whose
// allocation sweeps are in tests/client/ops.)
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "common/alloc.h"
#include "common/json.h"
#include "common/json_text.h"

namespace {

// What each writer made of v, written by write into a TextOut.
template <class Write>
void expect_same(const vqjson::Value &v, Write write) {
    vqjson::TextOut out;
    write(out);
    char *tree = nullptr;
    size_t tree_len = 0, text_len = 0;
    EXPECT_EQ(vqjson::write_compact(v, &tree, &tree_len), vqjson::kOk);
    char *text = out.release(&text_len);
    EXPECT_EQ(std::string(text, text_len), std::string(tree, tree_len));
    vq_free(tree);
    vq_free(text);
}

// Every ASCII byte and a character of each UTF-8 length, at every place of a
// text long enough for each step of the scan; numbers at their ends.
TEST(JsonText, WritesAsTheTreeWriterDoes) {
    std::string bytes[0x80 + 3] = {"\xC3\xA9", "\xE2\x88\x95", "\xF0\x9F\x98\x80"};
    for (int c = 0; c < 0x80; c++) bytes[3 + c] = std::string(1, static_cast<char>(c));
    vqjson::Doc doc;
    for (const std::string &b : bytes)
        for (size_t at : {0, 7, 15, 16, 23, 31, 40}) {
            SCOPED_TRACE(std::to_string(b[0]) + " at " + std::to_string(at));
            std::string s = std::string(at, 'a') + b + "z/";
            expect_same(vqjson::str(s.data(), s.size(), doc), [&](vqjson::TextOut &out) {
                out.raw("\"");
                out.escaped(s);
                out.raw("\"");
            });
        }
    for (int64_t n : {int64_t{0}, int64_t{-1}, INT64_MIN, INT64_MAX})
        expect_same(vqjson::Value(n), [&](vqjson::TextOut &out) { out.number(n); });
}

}  // namespace
