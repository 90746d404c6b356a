#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "source_client/util/url_util.h"

using namespace vqc;

namespace {

TEST(SchemeLen, CountsLettersDigitsAndPunctuationBeforeTheColon) {
    struct Case { const char *text; size_t len; };
    const Case cases[] = {
        {"HTTP:", 4}, {"svn+ssh://x", 7}, {"a:", 1}, {":", 0}, {"1http:", 0}, {"ht_tp:", 0},
        {"ab cd:", 0}, {"http", 0}, {"", 0}, {"x-y.z:rest", 5}, {"h\xc3\xa9:", 0},
    };
    for (const auto &c : cases) EXPECT_EQ(scheme_len(c.text), c.len) << c.text;
    EXPECT_EQ(scheme_len(nullptr), 0u);
}

TEST(UriIsAbsolute, FollowsTheSchemeAuthorityAndControlRules) {
    struct Case { const char *text; int absolute; };
    const Case cases[] = {
        {"http:", 0}, {"http://", 0}, {"http://ho st/", 0}, {"http://host/a b", 1},
        {"http://host/\tx", 0}, {"http://host/\x7f", 0}, {"rtmp://host/app", 1}, {"urn:foo", 1},
        {"mailto:a@b", 1}, {"data:", 0}, {"relative/path", 0}, {"http://h?q", 1}, {"http://h\xc3\xa9/", 1},
        {"http:/host", 1}, {"//host/x", 0},
        // control bytes found past the first eight-byte words
        {"http://host/abcdefghijklmnopqrstuvwxyz0123456789", 1}, {"http://host/abcdefghijklmnopqrstu\x01vwxyz", 0},
        {"http://host/abcdefghijklmnopqrstuvwxyz01234567\x7f", 0}, {"http://host/abcdefgh\x1f", 0},
    };
    for (const auto &c : cases) EXPECT_EQ(vqiptv_uri_is_absolute(c.text), c.absolute) << c.text;
    // sixteen bytes are tested a step, the last sixteen overlapping: a control
    // byte at any offset of a long location is seen, the bytes around 0x20
    // and 0x7F that are none are not taken for one
    for (size_t at = 12; at < 60; ++at)
        for (unsigned char c : {0x01, 0x1F, 0x7F, 0x20, 0x7E, 0x80}) {
            std::string url = "http://host/" + std::string(48, 'p');
            url[at] = static_cast<char>(c);
            int control = c == 0x01 || c == 0x1F || c == 0x7F;
            EXPECT_EQ(vqiptv_uri_is_absolute(url.c_str()), !control) << at << " " << +c;
        }
    // the authority is read eight bytes a step too: a space anywhere in a long
    // host spoils it, one after its end does not
    for (size_t at = 0; at < 24; ++at)
        for (char end : {'/', '?', '#'}) {
            std::string host(24, 'h');
            host[at] = ' ';
            EXPECT_EQ(vqiptv_uri_is_absolute(("http://" + host + end + "p").c_str()), 0) << at << end;
            std::string spaced_path = "http://" + host.substr(0, at) + end + " p";
            EXPECT_EQ(vqiptv_uri_is_absolute(spaced_path.c_str()), at > 0) << at << end;
        }
}

TEST(UriIsPlayable, NeedsSlashesAfterTheSchemeBarAFewSchemes) {
    struct Case { const char *text; int playable; };
    const Case cases[] = {
        {"https://h/a.m3u8", 1}, {"HTTP://h", 1}, {"rtp://@239.0.0.1:5000", 1}, {"plugin://plugin.video.x/?a=1", 1},
        {"acestream://0a1b", 1}, {"acestream:0a1b", 1}, {"file:/media/a.ts", 1}, {"Magnet:?xt=urn:btih:0a1b", 1},
        {"f8c2ec548c274b54b3837f310750fe58:091ae11a6e5ff22e60b405953a58e40f", 0}, {"urn:foo", 0},
        {"mailto:a@b", 0}, {"http:/host", 0}, {"Title:News", 0}, {"filex:/a", 0}, {"relative/path", 0},
        {"http://ho st/", 0}, {"", 0},
    };
    for (const auto &c : cases) EXPECT_EQ(vqiptv_uri_is_playable_n(c.text, std::strlen(c.text)), c.playable) << c.text;
}

TEST(UrlIsHttp, AcceptsOnlyHttpAndHttpsWithAnAuthority) {
    struct Case { const char *text; int http; };
    const Case cases[] = {
        {"HTTPS://host/", 1}, {"Http://h", 1}, {"hTtPs://h/x?y", 1}, {"http:/host", 0}, {"ftp://host/", 0},
        {"httpx://host", 0}, {"http://", 0}, {"http://a b/", 0}, {"https:", 0}, {"", 0},
    };
    for (const auto &c : cases) EXPECT_EQ(vqiptv_url_is_http(c.text), c.http) << c.text;
}

std::string redact(const char *url, size_t cap = 512) {
    char out[512];
    vqiptv_redact_url(url, out, cap);
    return out;
}

TEST(RedactUrl, DropsCredentialsQueryAndFragment) {
    struct Case { const char *in, *out; };
    const Case cases[] = {
        {"https://user:pw@host:8080/a/b?token=x#f", "https://host:8080/a/b?<redacted>"},
        {"http://a@b@host/x", "http://host/x"},
        {"http://host/live.m3u#top", "http://host/live.m3u?<redacted>"},
        {"http://host?x=1", "http://host?<redacted>"},
        {"mailto:x@y?s=1", "mailto:x@y?<redacted>"},
        {"relative/path", "relative/path"},
        {"http://user@", "http://"},
        {"http://h/p@q", "http://h/p@q"},
    };
    for (const auto &c : cases) EXPECT_EQ(redact(c.in), c.out) << c.in;
    EXPECT_EQ(redact(nullptr), "");
}

TEST(RedactUrl, TruncatesToTheCapacity) {
    EXPECT_EQ(redact("http://host/x?q", 1), "");
    EXPECT_EQ(redact("http://host/x?q", 16), "http://host/x?<");
    char untouched = 'z';
    vqiptv_redact_url("http://h", &untouched, 0);
    EXPECT_EQ(untouched, 'z');
}

TEST(Fnv1a, MatchesTheReferenceAndChains) {
    EXPECT_EQ(vqiptv_fnv1a("", 0, kFnvOffsetBasis), kFnvOffsetBasis);
    EXPECT_EQ(vqiptv_fnv1a("a", 1, kFnvOffsetBasis), 0xaf63dc4c8601ec8cull);
    EXPECT_EQ(vqiptv_fnv1a("foobar", 6, kFnvOffsetBasis), 0x85944171f73967e8ull);
    uint64_t chained = vqiptv_fnv1a("bar", 3, vqiptv_fnv1a("foo", 3, kFnvOffsetBasis));
    EXPECT_EQ(chained, 0x85944171f73967e8ull);
    const unsigned char high[] = {0xFF};
    EXPECT_NE(vqiptv_fnv1a(high, 1, kFnvOffsetBasis), vqiptv_fnv1a("\x7f", 1, kFnvOffsetBasis));
    EXPECT_EQ(vqiptv_fnv1a(high, 1, 0), 0xFFull * 1099511628211ull);
}

TEST(Fnv1a, FourAtOnceMatchOneByOne) {
    const char *data[4] = {"foobar", "\xff\x01xyzw", "a long one", "fo\x00\x80" "ab"};
    uint64_t h[4] = {kFnvOffsetBasis, kFnvOffsetBasis, 7, 0};
    const uint64_t start[4] = {h[0], h[1], h[2], h[3]};
    vqiptv_fnv1a_x4(data, 6, h);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(h[k], vqiptv_fnv1a(data[k], 6, start[k])) << k;
}

}  // namespace
