// Bodies that are gzip files (a list published as list.m3u.gz, or compressed
// without being asked), inflated by the fetch as they arrive: whatever the
// pieces, one member or several, a broken one refused, and the 64 MiB limit
// held on the bytes decoded (a bomb stops there, its memory with it) and on
// those received.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "alloc_sweep.h"
#include "common/alloc.h"
#include "fetch_run.h"
#include "gzip_text.h"
#include "script_server.h"
#include "source_client/fetch/transport_stats.h"
#include "source_client/util/limits.h"

using namespace vqc;

namespace {

const std::string kUrl = "http://h.example/list.m3u.gz";
const std::string kText = "#EXTM3U\n#EXTINF:-1,A\nhttp://a/\n";
const std::string kMore = "#EXTINF:-1,B\nhttp://b/\n";
constexpr size_t kLimit = kMaxBodyBytes;
const std::string kMessage = "gzip body is corrupt or cut short from " + kUrl;

scripted_answer in_pieces(const std::string &bytes, std::vector<size_t> cuts) {
    scripted_answer a;
    size_t at = 0;
    for (size_t cut : cuts) {
        a.pieces.push_back(bytes.substr(at, cut - at));
        at = cut;
    }
    a.pieces.push_back(bytes.substr(at));
    return a;
}

scripted_answer byte_by_byte(const std::string &bytes) {
    scripted_answer a;
    for (char c : bytes) a.pieces.emplace_back(1, c);
    return a;
}

struct gzip_case {
    const char *name;
    scripted_answer answer;
    int rc;
    std::string out;  // the body, or the message
};

TEST(GzipBody, InflatedWhateverThePiecesOrRefused) {
    const std::string gz = gzip_text(kText), both = gz + gzip_text(kMore);
    std::string bad_crc = gz;
    bad_crc[gz.size() - 8] ^= 1;
    const std::vector<gzip_case> cases = {
        {"whole", ok_body(gz), 0, kText},
        {"byte by byte", byte_by_byte(gz), 0, kText},
        {"the first byte alone", in_pieces(gz, {1}), 0, kText},
        {"two members", in_pieces(both, {gz.size() - 3, gz.size() + 1}), 0, kText + kMore},
        {"plain text of one byte", ok_body("x"), 0, "x"},
        {"plain text that starts with 0x1f", ok_body("\x1f" "abc"), 0, "\x1f" "abc"},
        {"an announced length that counts encoded bytes",
         ok_body(kText, {{"Content-Encoding", "gzip"}, {"Content-Length", std::to_string(kLimit + 1)}}), 0, kText},
        {"empty text", ok_body(gzip_text("")), -5, "empty body from " + kUrl},
        {"cut short", ok_body(gz.substr(0, gz.size() - 4)), -5, kMessage},
        {"cut after a member", ok_body(both.substr(0, gz.size() + 5)), -5, kMessage},
        {"a wrong check sum", ok_body(bad_crc), -5, kMessage},
        {"no deflate data after the magic", ok_body("\x1f\x8bxyz"), -5, kMessage},
        {"bytes after the last member", ok_body(gz + "junk"), -5, kMessage},
    };
    script_server server;
    for (const gzip_case &c : cases) {
        server.on(kUrl, c.answer);
        fetched f = run_fetch(server.io(), kUrl);
        EXPECT_EQ(f.rc, c.rc) << c.name;
        EXPECT_EQ(f.rc ? f.msg : f.body, c.out) << c.name;
    }
}

// One member of zeros per size: a gibibyte is the same member again and again.
scripted_answer zero_members(const std::vector<size_t> &sizes) {
    static std::map<size_t, std::string> made;
    scripted_answer a;
    for (size_t n : sizes) {
        if (!made.count(n)) made[n] = gzip_zeros(n);
        a.pieces.push_back(made[n]);
    }
    return a;
}

struct limit_case {
    const char *name;
    scripted_answer answer;
    size_t len;  // 0: too large
};

TEST(GzipBody, TheLimitHoldsOnTheDecodedBytesWithBoundedMemory) {
    constexpr size_t k16 = 16 << 20;
    scripted_answer stored;  // stored blocks: more bytes arrive than are decoded
    stored.pieces = {gzip_text(std::string(kLimit - 1024, 'x'), Z_NO_COMPRESSION)};
    const std::vector<limit_case> cases = {
        {"one byte under", zero_members({k16, k16, k16, k16 - 1}), kLimit - 1},
        {"at the limit", zero_members({k16, k16, k16, k16}), kLimit},
        {"one byte over", zero_members({k16, k16, k16, k16, 1}), 0},
        {"a gibibyte", zero_members(std::vector<size_t>(64, k16)), 0},
        {"received over the limit, decoded under it", stored, 0},
    };
    script_server server;
    for (const limit_case &c : cases) {
        server.on(kUrl, c.answer);
        vq_mem_track(true);  // the script's own copies stay out of the count
        fetched f = run_fetch(server.io(), kUrl);
        long long peak = vq_mem_peak();
        vq_mem_track(false);
        EXPECT_EQ(f.body.size(), c.len) << c.name;
        if (!c.len) {
            EXPECT_EQ(f.rc, -5) << c.name;
            EXPECT_EQ(f.msg, "body exceeds 64 MiB from " + kUrl) << c.name;
        }
        EXPECT_LT(peak, static_cast<long long>(kLimit + (1 << 20))) << c.name;
    }
}

TEST(GzipBody, EveryAllocationFailureIsCleanAndReported) {
    script_server server;
    server.on(kUrl, ok_body(gzip_text(kText)));
    long failures = alloc_sweep(
        [&](long k) {
            vqiptv_curl_reset();
            vq_alloc_fail_nth(k);
            return run_fetch(server.io(), kUrl);
        },
        [](long, const fetched &f) {
            if (f.rc == 0) {
                EXPECT_EQ(f.body, kText);
                return;
            }
            EXPECT_EQ(f.rc, -5);
            EXPECT_EQ(f.msg, "out of memory");
        },
        [](const fetched &f) { EXPECT_EQ(f.body, kText); });
    EXPECT_GT(failures, 2);
}

}  // namespace
