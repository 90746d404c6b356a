// One 401 answered with the request's credentials: Digest chosen over Basic,
// the Digest answer checked with the library's MD5, only the final
// response's status and headers delivered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "digest_check.h"
#include "exchange.h"
#include "wire_server.h"

namespace {

constexpr const char *k_user = "user";
constexpr const char *k_password = "pa ss";
constexpr const char *k_realm = "iptv";
constexpr const char *k_nonce = "6f1c2a";
constexpr const char *k_basic = "Basic dXNlcjpwYSBzcw==";  // user:pa ss

// Challenges with the given WWW-Authenticate lines until a valid answer.
wire_handler guarded(std::vector<std::string> offers) {
    return [offers](const wire_request &r, wire_conn &c) {
        std::string auth = r.header("Authorization");
        bool ok = auth == k_basic || digest_valid(r, {k_user, k_password, k_realm, k_nonce});
        if (ok) {
            c.send(http_response(200, {"X-Phase: final", "X-Scheme: " + auth.substr(0, auth.find(' '))}, r.body));
            return;
        }
        std::vector<std::string> lines = offers;
        lines.push_back("X-Phase: challenge");
        c.send(http_response(401, lines, "denied"));
    };
}

const std::string k_offer_basic = "WWW-Authenticate: Basic realm=\"iptv\"";
const std::string k_offer_digest = "WWW-Authenticate: Digest realm=\"iptv\", nonce=\"6f1c2a\", qop=\"auth\"";
// Never the nonce the check wants: libcurl would answer it without end.
const std::string k_offer_stale = "WWW-Authenticate: Digest realm=\"iptv\", nonce=\"5e0b19\", qop=\"auth\", stale=true";

struct auth_case {
    const char *name;
    std::vector<std::string> offers;
    const char *username;
    const char *password;
    int status;            // final status delivered
    size_t requests;       // requests the server saw
    const char *scheme;    // X-Scheme of the final answer, "" when refused
    const char *refusal = "denied";  // body of a final 401: libcurl drops one it meant to answer again
};

TEST(CurlAuth, OneAnswerToA401) {
    const auth_case cases[] = {
        {"both offered: digest", {k_offer_basic, k_offer_digest}, k_user, k_password, 200, 2, "Digest"},
        {"digest first, still digest", {k_offer_digest, k_offer_basic}, k_user, k_password, 200, 2, "Digest"},
        {"basic only", {k_offer_basic}, k_user, k_password, 200, 2, "Basic"},
        {"digest only", {k_offer_digest}, k_user, k_password, 200, 2, "Digest"},
        {"wrong password: one retry", {k_offer_basic, k_offer_digest}, k_user, "wrong", 401, 2, ""},
        {"no user: no retry", {k_offer_basic, k_offer_digest}, nullptr, nullptr, 401, 1, ""},
        {"unknown scheme: no retry", {"WWW-Authenticate: Bearer realm=\"x\""}, k_user, k_password, 401, 1, ""},
        {"stale every time: one retry", {k_offer_stale}, k_user, k_password, 401, 2, "", ""},
    };
    for (const auth_case &t : cases) {
        wire_server server(guarded(t.offers));
        call c;
        c.url = server.url("/private/list.m3u?k=1");
        c.username = t.username;
        c.password = t.password;
        outcome out = perform(c);
        ASSERT_EQ(out.result, 0) << t.name << ": " << out.err;
        EXPECT_EQ(out.status, t.status) << t.name;
        std::vector<wire_request> seen = server.requests();
        EXPECT_EQ(seen.size(), t.requests) << t.name;
        EXPECT_FALSE(seen.at(0).has("Authorization")) << t.name << ": nothing offered before the challenge";
        EXPECT_EQ(out.count(":status"), 1) << t.name;
        EXPECT_EQ(out.header(":status"), std::to_string(t.status)) << t.name;
        EXPECT_EQ(out.count("X-Phase"), 1) << t.name;
        EXPECT_EQ(out.header("X-Phase"), t.status == 200 ? "final" : "challenge") << t.name;
        EXPECT_EQ(out.header("X-Scheme"), t.scheme) << t.name;
        EXPECT_EQ(out.body, t.status == 200 ? "" : t.refusal) << t.name;
    }
}

TEST(CurlAuth, BodyReachesTheAnsweredRequest) {
    wire_server server(guarded({k_offer_basic, k_offer_digest}));
    call c;
    c.method = "POST";
    c.url = server.url("/post");
    c.body = "name=value&x=1";
    c.username = k_user;
    c.password = k_password;
    outcome out = perform(c);
    ASSERT_EQ(out.result, 0) << out.err;
    EXPECT_EQ(out.status, 200);
    EXPECT_EQ(out.body, *c.body);
    std::vector<wire_request> seen = server.requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].header("Content-Length"), "14");
    EXPECT_EQ(seen[1].body, *c.body);
}

TEST(CurlAuth, CallersAuthorizationSentWithoutUser) {
    wire_server server(guarded({k_offer_basic}));
    call c;
    c.url = server.url("/pre");
    c.headers = {std::string("Authorization: ") + k_basic};
    outcome out = perform(c);
    ASSERT_EQ(out.result, 0) << out.err;
    EXPECT_EQ(out.status, 200);
    EXPECT_EQ(server.requests().size(), 1u);
}

}  // namespace
