#include <gtest/gtest.h>

#include <string>

#include "digest_check.h"
#include "http/md5.h"

namespace {

TEST(Md5, Rfc1321Vectors) {
    struct row {
        std::string in;
        const char *digest;
    };
    const row rows[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const row &r : rows) EXPECT_EQ(md5_hex(r.in), r.digest) << '"' << r.in << '"';
}

// 55 bytes pad within one block, 56 and 64 need a second one.
TEST(Md5, PaddingBoundaries) {
    struct row {
        size_t n;
        const char *digest;
    };
    const row rows[] = {{55, "ef1772b6dff9a122358552954ad0df65"},
                        {56, "3b0c8ac703f828b04c6c197006d17218"},
                        {64, "014842d480b571495a4a0363793f7367"}};
    for (const row &r : rows) EXPECT_EQ(md5_hex(std::string(r.n, 'a')), r.digest) << r.n;
}

TEST(Md5, PiecesGiveTheOneShotDigest) {
    std::string input;
    for (int i = 0; i < 1000; ++i) input += static_cast<char>(i * 7 + 3);
    unsigned char whole[16];
    quorvex_md5(input.data(), input.size(), whole);
    quorvex_md5_ctx ctx;
    quorvex_md5_init(&ctx);
    size_t off = 0;
    for (size_t piece : {1, 63, 64, 872}) {
        quorvex_md5_update(&ctx, input.data() + off, piece);
        off += piece;
    }
    ASSERT_EQ(off, input.size());
    unsigned char parts[16];
    quorvex_md5_final(&ctx, parts);
    EXPECT_EQ(hex16(parts), hex16(whole));
    quorvex_md5_init(&ctx);
    for (char c : input) quorvex_md5_update(&ctx, &c, 1);
    quorvex_md5_final(&ctx, parts);
    EXPECT_EQ(hex16(parts), hex16(whole));
}
}  // namespace
