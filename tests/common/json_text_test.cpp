// The text writer against the tree writer it stands in for: the same bytes for
// every string and number, and a shortage that ends the text cleanly.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "alloc_sweep.h"
#include "common/json.h"
#include "common/json_text.h"

namespace {

// The text as a string, its block released.
std::string taken(char *text, size_t len) {
    std::string s(text ? text : "", len);
    vq_free(text);
    return s;
}

std::string released(vqjson::TextOut &out) {
    size_t len = 0;
    char *text = out.release(&len);
    EXPECT_TRUE(text && text[len] == '\0');
    return taken(text, len);
}

std::string compact(const vqjson::Value &v) {
    char *text = nullptr;
    size_t len = 0;
    EXPECT_EQ(vqjson::write_compact(v, &text, &len), vqjson::kOk);
    return taken(text, len);
}

// Every ASCII byte, and a character of each UTF-8 length, at every place of a
// text long enough for every step of the scan.
TEST(JsonText, EscapesStringsAsTheTreeWriterDoes) {
    std::vector<std::string> bytes;
    for (int c = 0; c < 0x80; c++) bytes.emplace_back(1, static_cast<char>(c));
    for (const char *utf8 : {"\xC3\xA9", "\xE2\x88\x95", "\xF0\x9F\x98\x80"}) bytes.emplace_back(utf8);
    for (const std::string &b : bytes) {
        for (size_t at : {0, 7, 15, 16, 23, 31, 40}) {
            std::string s = std::string(at, 'a') + b + "z/";
            vqjson::TextOut out;
            out.raw("\"");
            out.escaped(s);
            out.raw("\"");
            vqjson::Doc doc;
            ASSERT_EQ(released(out), compact(vqjson::str(s.data(), s.size(), doc))) << int{b[0]} << " at " << at;
        }
    }
}

TEST(JsonText, WritesNumbersAsTheTreeWriterDoes) {
    for (int64_t n : {int64_t{0}, int64_t{-1}, int64_t{7}, int64_t{INT32_MAX}, INT64_MIN, INT64_MAX}) {
        vqjson::TextOut out;
        out.number(n);
        EXPECT_EQ(released(out), compact(vqjson::Value(n))) << n;
    }
}

TEST(JsonText, AnEmptyTextIsReleasedAsAnEmptyString) {
    vqjson::TextOut out;
    EXPECT_EQ(released(out), "");
}

// Any allocation may fail: then the text is gone and nothing leaks, or (the
// block's final trim refused) it is whole.
TEST(JsonText, AShortageEndsTheTextCleanly) {
    const std::string piece(3000, 'x');
    alloc_sweep(
        [&](long k) {
            vqjson::TextOut out;
            vq_alloc_fail_nth(k);
            for (int i = 0; i < 8; i++) out.escaped(piece);
            size_t len = 1;
            char *text = out.release(&len);
            bool made = text != nullptr;
            return std::pair(made, taken(text, len).size());
        },
        [&](long, const std::pair<bool, size_t> &got) {
            EXPECT_TRUE(got == std::pair(false, size_t{0}) || got == std::pair(true, 8 * piece.size()));
        },
        [&](const std::pair<bool, size_t> &got) { EXPECT_EQ(got, std::pair(true, 8 * piece.size())); });
}

}  // namespace
