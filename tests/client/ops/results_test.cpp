// The result protocol every operation ends in: documents copied when they fit,
// -9 with the size needed, error documents with repaired, capped messages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "alloc_sweep.h"
#include "source_client/ops/results.h"

using namespace vqc;

namespace {

struct Outcome {
    int32_t status;
    std::string out;
    std::string result;
    std::string error;
};

Outcome emit(const char *json, int32_t out_len) {
    vqp::Guard lock(g_lock);
    vqjson::Doc doc;
    EXPECT_EQ(vqjson::parse_strict(doc, json), vqjson::kOk);
    std::string buf(static_cast<size_t>(out_len > 0 ? out_len : 1), 'x');
    int32_t st = emit_doc(doc, out_len > 0 ? buf.data() : nullptr, out_len);
    return {st, buf.c_str(), result_text(), last_error_text()};
}

Outcome failing(const char *message, int32_t out_len = 512) {
    vqp::Guard lock(g_lock);
    std::string buf(static_cast<size_t>(out_len > 0 ? out_len : 1), 'x');
    int32_t st = fail(-4, buf.data(), out_len, "%s", message);
    return {st, buf.c_str(), result_text(), last_error_text()};
}

// Success or failure, the document is copied only when it fits with its NUL;
// otherwise the buffer is emptied and the whole document stays readable.
TEST(Delivery, CopiesWhatFitsAndKeepsTheWholeDocument) {
    const char *escaped = "quote \" backslash \\ tab \t slash /";
    const char *escaped_doc = "{\"error\":\"quote \\\" backslash \\\\ tab \\t slash /\"}";
    const struct {
        const char *what;
        Outcome got, want;
    } cases[] = {
        {"document fits", emit("[1,\"a/b\"]", 10), {0, "[1,\"a/b\"]", "[1,\"a/b\"]", ""}},
        {"one byte short", emit("[1,\"a/b\"]", 9), {-9, "", "[1,\"a/b\"]", "output buffer too small: need 10 bytes"}},
        {"error document", failing(escaped), {-4, escaped_doc, escaped_doc, escaped}},
        {"error too big keeps its status", failing("boom", 5), {-4, "", "{\"error\":\"boom\"}", "boom"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.got.status, c.want.status);
        EXPECT_EQ(c.got.out, c.want.out);
        EXPECT_EQ(c.got.result, c.want.result);
        EXPECT_EQ(c.got.error, c.want.error);
    }
}

TEST(EmitDoc, NeverWritesANullOrEmptyBuffer) {
    EXPECT_EQ(emit("{}", 0).status, -9);
    vqp::Guard lock(g_lock);
    vqjson::Doc doc(rapidjson::kObjectType);
    char probe = 'z';
    EXPECT_EQ(emit_doc(doc, &probe, -1), -9);
    EXPECT_EQ(probe, 'z');
}

TEST(Fail, RepairsInvalidUtf8ByteForByte) {
    struct Case { const char *in, *out; };
    const Case cases[] = {
        {"a\xff" "b", "a?b"},
        {"\xed\xa0\x80", "???"},
        {"ok \xc3\xa9 \xf0\x9f\x98\x80", "ok \xc3\xa9 \xf0\x9f\x98\x80"},
        {"\xc0\xaf", "??"},
        {"\xe2\x82", "??"},
    };
    for (const auto &c : cases) EXPECT_EQ(failing(c.in).error, c.out) << c.in;
}

TEST(Fail, CapsTheMessageAt511BytesAndRepairsACutCharacter) {
    std::string msg(510, 'a');
    msg += "\xe2\x88\x95";  // a three-byte character cut after its first byte
    Outcome o = failing(msg.c_str(), 1024);
    EXPECT_EQ(o.error.size(), 511u);
    EXPECT_EQ(o.error.substr(510), "?");
}

// A shortage while making a document leaves no result and the caller's buffer
// untouched (emit) or emptied (fail); nothing leaks.
TEST(ResultAllocation, EachFailureEndsCleanly) {
    alloc_sweep(
        [](long k) {
            vqp::Guard lock(g_lock);
            vqjson::Doc doc;
            EXPECT_EQ(vqjson::parse_strict(doc, "{\"a\":[1,2,3]}"), vqjson::kOk);
            char out[64] = "untouched";
            vq_alloc_fail_nth(k);
            int32_t st = emit_doc(doc, out, sizeof out);
            return Outcome{st, out, result_text(), last_error_text()};
        },
        [](long, const Outcome &e) {
            EXPECT_EQ(e.status, -5);
            EXPECT_EQ(e.error, "out of memory");
            EXPECT_EQ(e.result, "");
            EXPECT_EQ(e.out, "untouched");
        },
        [](const Outcome &e) {
            EXPECT_EQ(e.status, 0);
            EXPECT_EQ(e.out, "{\"a\":[1,2,3]}");
        });
    alloc_sweep(
        [](long k) {
            vq_alloc_fail_nth(k);
            return failing("no memory here");
        },
        [](long, const Outcome &f) {
            EXPECT_EQ(f.status, -4);
            EXPECT_EQ(f.error, "no memory here");
            EXPECT_EQ(f.out, "");
            EXPECT_EQ(f.result, "");
        },
        [](const Outcome &f) { EXPECT_EQ(f.out, "{\"error\":\"no memory here\"}"); });
}

}  // namespace
