#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "alloc_sweep.h"
#include "common/json.h"

namespace {

vqjson::Status parse(const std::string &text) {
    vqjson::Doc doc;
    return vqjson::parse_strict(doc, text.data(), text.size());
}

std::string write(const vqjson::Value &v) {
    char *out = nullptr;
    size_t len = 0;
    EXPECT_EQ(vqjson::write_compact(v, &out, &len), vqjson::kOk);
    std::string s(out ? out : "", len);
    vq_free(out);
    return s;
}

TEST(JsonRead, AcceptsStrictDocuments) {
    for (const char *ok : {"{}", "[]", " {\"a\":1} ", "\"x\"", "null", "{\"k\":\"\\ud83d\\ude00\"}", "[\"caf\xc3\xa9\"]"}) {
        EXPECT_EQ(parse(ok), vqjson::kOk) << ok;
    }
}

const std::string kLoose[] = {
        "",                        // nothing at all
        "{} x",                    // content after the document
        "{}{}",                    // two documents
        "{\"a\":1,}",              // trailing comma
        "/*c*/{}",                 // comment
        std::string("{\"a\":\"\0\"}", 9),  // raw NUL byte
        "[\"\xff\"]",              // invalid UTF-8
        "[\"\xed\xa0\x80\"]",      // raw surrogate
        "[\"\\udc00\"]",           // escaped lone low surrogate
        "[\"\\ud800\"]",           // escaped lone high surrogate
        "{'a':1}",
};

TEST(JsonRead, RefusesEverythingLoose) {
    for (const auto &b : kLoose) EXPECT_EQ(parse(b), vqjson::kInvalid) << b;
}

// Read as strictly as a document, but only an object; nothing of a text that
// fails anywhere is handed over, and take may stop the reading.
TEST(JsonRead, StringMembersOfAStrictObjectOnly) {
    std::vector<std::pair<std::string, std::string>> got;
    auto take = [&](auto key, auto value) { return got.emplace_back(key, value), got.size() < 3; };
    std::vector<std::string> refused(std::begin(kLoose), std::end(kLoose));
    const std::string deep = std::string(vqjson::kMaxDepth, '[') + std::string(vqjson::kMaxDepth, ']');
    refused.insert(refused.end(), {"[]", "null", "{\"a\":\"1\",\"b\":", "{\"a\":" + deep + "}"});
    for (const std::string &text : refused)
        EXPECT_EQ(vqjson::each_string_member(text.data(), text.size(), take), vqjson::kInvalid) << text;
    EXPECT_TRUE(got.empty());
    const std::string object = R"({"a":"1","n":2,"o":{"x":"y"},"l":["z"],"b":"\u00e9","a":"3","c":"4"})";
    EXPECT_EQ(vqjson::each_string_member(object.data(), object.size(), take), vqjson::kOk);
    EXPECT_EQ(got, (decltype(got){{"a", "1"}, {"b", "\xc3\xa9"}, {"a", "3"}}));
}

// Refused by their length alone: not a byte of them is read.
TEST(JsonRead, RefusesTextsLongerThanItsLengthsCount) {
    vqjson::Doc doc;
    for (size_t len : {vqjson::kMaxTextBytes + 1, static_cast<size_t>(-1)})
        EXPECT_EQ(vqjson::parse_strict(doc, "{}", len), vqjson::kInvalid) << len;
}

TEST(JsonRead, CapsNestingDepth) {
    std::string deep(vqjson::kMaxDepth, '['), close(vqjson::kMaxDepth, ']');
    EXPECT_EQ(parse(deep + close), vqjson::kOk);
    EXPECT_EQ(parse("[" + deep + close + "]"), vqjson::kInvalid);
}

TEST(JsonWrite, IsCompactAndKeepsSlashesAndUtf8) {
    vqjson::Doc doc;
    ASSERT_EQ(vqjson::parse_strict(doc, "{ \"u\" : \"a/b\\u00e9\\n\\\"\" , \"n\" : [1, true] }"), vqjson::kOk);
    EXPECT_EQ(write(doc), "{\"u\":\"a/b\xc3\xa9\\n\\\"\",\"n\":[1,true]}");
}

TEST(JsonWrite, RefusesInvalidUtf8) {
    vqjson::Doc doc(rapidjson::kArrayType);
    doc.PushBack(vqjson::str("\xc3", 1, doc), doc.GetAllocator());
    char *out = nullptr;
    size_t len = 0;
    EXPECT_EQ(vqjson::write_compact(doc, &out, &len), vqjson::kInvalid);
    EXPECT_EQ(out, nullptr);
}

TEST(JsonMembers, FindTakesTheFirst) {
    vqjson::Doc doc;
    ASSERT_EQ(vqjson::parse_strict(doc, "{\"a\":1,\"ID\":2,\"b\":3,\"ID\":4,\"c\":5}"), vqjson::kOk);
    ASSERT_NE(vqjson::find_first(doc, "ID"), nullptr);
    EXPECT_EQ(vqjson::find_first(doc, "ID")->GetInt(), 2);
    EXPECT_EQ(vqjson::find_first(doc, "id"), nullptr);
}

TEST(JsonMembers, EraseTakesEveryMatchAndKeepsTheOthersInOrder) {
    const struct {
        const char *before, *after;
    } cases[] = {
        {R"({"a":1,"ID":2,"b":3,"ID":4,"c":5})", R"({"a":1,"b":3,"c":5})"},
        {R"({"ID":0,"ID":1,"a":{"x":[1,2]},"ID":2,"b":"s","c":null,"ID":3})", R"({"a":{"x":[1,2]},"b":"s","c":null})"},
        {R"({"ID":1,"ID":2})", "{}"},
        {R"({"id":1,"IDs":2,"I":3})", R"({"id":1,"IDs":2,"I":3})"},
        {"{}", "{}"},
    };
    for (const auto &c : cases) {
        vqjson::Doc doc;
        ASSERT_EQ(vqjson::parse_strict(doc, c.before), vqjson::kOk) << c.before;
        vqjson::erase_members(doc, "ID");
        EXPECT_EQ(write(doc), c.after) << c.before;
    }
}

// Every allocation of a parse and a write may fail; each must end cleanly.
TEST(JsonAllocation, EachFailureIsReportedAndLeaksNothing) {
    const std::string text = "{\"list\":[\"one\",\"two\",{\"deep\":[1,2,3]}],\"name\":\"x\"}";
    using written = std::pair<vqjson::Status, std::string>;
    alloc_sweep(
        [&](long k) {
            vq_alloc_fail_nth(k);
            vqjson::Doc doc;
            vqjson::Status st = vqjson::parse_strict(doc, text.data(), text.size());
            char *out = nullptr;
            size_t len = 0;
            if (st == vqjson::kOk) st = vqjson::write_compact(doc, &out, &len);
            written w(st, out ? std::string(out, len) : "");
            vq_free(out);
            return w;
        },
        [](long, const written &w) {
            EXPECT_EQ(w.first, vqjson::kNoMemory);
            EXPECT_EQ(w.second, "");
        },
        [&](const written &w) {
            EXPECT_EQ(w.first, vqjson::kOk);
            EXPECT_EQ(w.second, text);
        });
}

}  // namespace
