// The library against real servers: nginx compressing on the wire, a list
// published as a gzip file or sent with a Content-Encoding, gzip bombs,
// credentials written into the URL (Basic at nginx, Digest at the scripted
// server) and dropped on a redirect to another origin, a source's own
// User-Agent and headers, the whole fetch's deadline, and the messages that
// name what failed (the certificate checks, a proxy, a redirect loop).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "digest_check.h"
#include "gzip_text.h"
#include "http/transports.h"
#include "nginx_server.h"
#include "quorvex_iptv.h"
#include "source_client/fetch/fetch.h"
#include "source_client/fetch/transport_stats.h"
#include "source_client/util/limits.h"
#include "wire_server.h"

namespace {

namespace fs = std::filesystem;

constexpr const char *kSmall = "/channels-2019-05/af.m3u";
const std::vector<std::string> kBigLists = {"/pages-2023-01/index.m3u", "/pages-2023-01/index.category.m3u",
                                            "/pages-2023-01/index.language.m3u", "/pages-2023-01/index.country.m3u"};

// What nginx saw of each request, one line each, fields split by "|".
const std::string kLogFormat =
    "log_format wire '$uri|$status|$bytes_sent|$http_accept_encoding|$http_user_agent|$http_x_device|"
    "$http_authorization';";
const std::string kLocations = R"(
      access_log @DIR@/access.log wire;
      location /plain/ { alias @DIR@/www/; gzip off; }
      location /forced/ { alias @DIR@/www/gz/; gzip off; add_header Content-Encoding gzip; }
      location /private/ { alias @DIR@/www/; auth_basic "iptv"; auth_basic_user_file @DIR@/htpasswd; }
      location = /same { return 302 /private/channels-2019-05/af.m3u; }
      location = /cross { return 302 http://localhost:$server_port/private/channels-2019-05/af.m3u; }
      location = /loop { return 302 /loop; }
)";

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_readable(const std::string &path, const std::string &bytes) {
    fs::create_directories(fs::path(path).parent_path());
    ::chmod(fs::path(path).parent_path().c_str(), 0755);
    std::ofstream(path, std::ios::binary) << bytes;
    ::chmod(path.c_str(), 0644);
}

struct listed {
    int rc;
    std::string doc;  // the listing, or the error document
    std::string error;
};

listed list_with(const std::string &settings) {
    std::vector<char> out(8 << 20);
    int rc = vqiptv_list(settings.c_str(), "/", out.data(), static_cast<int32_t>(out.size()));
    return {rc, vqiptv_result_json(), rc ? vqiptv_last_error() : ""};
}

std::string settings_for(const std::string &url, const std::string &more = "") {
    return "{\"URL\":\"" + url + "\"" + more + "}";
}

listed list_url(const std::string &url) { return list_with(settings_for(url)); }

struct log_line {
    std::vector<std::string> fields;  // uri, status, bytes sent, Accept-Encoding, User-Agent, X-Device, Authorization
};

class RealServers : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = std::make_unique<nginx_server>(nginx_site{QVX_CORPUS_DIR, kLogFormat, kLocations});
    }
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override {
        ASSERT_TRUE(server_->ok()) << server_->error();
        if (vqiptv_use_curl() != 0) GTEST_SKIP() << "no network transport in this build";
        vqiptv_cache_clear();
        vqc::vqiptv_curl_reset();  // no validators from another test
        logged_ = log_lines().size();
    }

    // The fields of the access log's last line once the next `requests`
    // requests are in it: nginx writes a line after the answer has gone, so
    // the client may be quicker (the wait is bounded).
    std::vector<std::string> logged(size_t requests) {
        std::vector<std::string> lines;
        for (int i = 0; i < 500 && lines.size() < logged_ + requests; ++i) {
            if (i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            lines = log_lines();
        }
        logged_ = lines.size();
        std::vector<std::string> fields;
        std::string line = lines.empty() ? "" : lines.back();
        for (size_t at = 0;;) {
            size_t bar = line.find('|', at);
            fields.push_back(line.substr(at, bar - at));
            if (bar == std::string::npos) return fields;
            at = bar + 1;
        }
    }

    static std::vector<std::string> log_lines() {
        std::istringstream log(slurp(server_->dir() + "/access.log"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(log, line);) lines.push_back(line);
        return lines;
    }

    static std::string www(const std::string &path) { return server_->dir() + "/www" + path; }

    static std::unique_ptr<nginx_server> server_;
    size_t logged_ = 0;  // access log lines looked at so far
};

std::unique_ptr<nginx_server> RealServers::server_;

enum field { kUri, kStatus, kBytesSent, kAcceptEncoding, kUserAgent, kDevice, kAuthorization };

// nginx's gzip takes the corpus's big lists to a fraction of their size on
// the wire; the listing is the one of the plain bytes.
TEST_F(RealServers, GzipOnTheWire) {
    for (const std::string &path : kBigLists) {
        listed plain = list_url(server_->http("/plain" + path));
        ASSERT_EQ(plain.rc, 0) << path << ": " << plain.error;
        logged(1);
        listed packed = list_url(server_->http(path));
        ASSERT_EQ(packed.rc, 0) << path << ": " << packed.error;
        std::vector<std::string> seen = logged(1);
        EXPECT_NE(seen[kAcceptEncoding].find("gzip"), std::string::npos) << path;
        double size = static_cast<double>(fs::file_size(std::string(QVX_CORPUS_DIR) + path));
        double sent = std::stod(seen[kBytesSent]);
        EXPECT_LE(sent, 0.35 * size) << path;
        EXPECT_EQ(packed.doc, plain.doc) << path;
        std::printf("[ MEASURE  ] %s: %.0f bytes, %.0f on the wire (%.1f%%)\n", path.c_str(), size, sent,
                    100 * sent / size);
    }
}

// Revalidation against nginx's weak ETag of a compressed answer: a 304,
// answered from the stored body.
TEST_F(RealServers, RevalidatesACompressedAnswer) {
    std::string url = server_->http(kBigLists[0]);
    listed first = list_url(url);
    ASSERT_EQ(first.rc, 0) << first.error;
    ASSERT_EQ(vqiptv_cache_set_max_age(0), 0);
    listed again = list_url(url);
    ASSERT_EQ(vqiptv_cache_set_max_age(21600), 0);
    ASSERT_EQ(again.rc, 0) << again.error;
    EXPECT_EQ(logged(2)[kStatus], "304");
    EXPECT_EQ(again.doc, first.doc);
}

struct gzip_case {
    const char *name;
    std::string file;  // under www/gz/
    std::string bytes;
    std::string path;  // asked for
    std::string error;  // "": listed like the plain list
};

// A list published as a gzip file, or sent with a Content-Encoding it was
// not asked for, lists like the plain one; a bomb of either kind ends at the
// 64 MiB limit.
TEST_F(RealServers, GzipFilesAndBombs) {
    const std::string text = slurp(std::string(QVX_CORPUS_DIR) + kSmall);
    const std::string bomb = gzip_zeros(vqc::kMaxBodyBytes + 1), big_bomb = gzip_zeros(size_t{1} << 30);
    const std::vector<gzip_case> cases = {
        {"a .m3u.gz file", "af.m3u.gz", gzip_text(text), "/gz/af.m3u.gz", ""},
        {"Content-Encoding: gzip", "af.m3u", gzip_text(text), "/forced/af.m3u", ""},
        {"a bomb file one byte over", "bomb.m3u.gz", bomb, "/gz/bomb.m3u.gz", "body exceeds 64 MiB from "},
        {"a bomb file of a gibibyte", "big.m3u.gz", big_bomb, "/gz/big.m3u.gz", "body exceeds 64 MiB from "},
        {"an encoded bomb one byte over", "bomb.m3u", bomb, "/forced/bomb.m3u", "body exceeds 64 MiB from "},
        {"an encoded bomb of a gibibyte", "big.m3u", big_bomb, "/forced/big.m3u", "body exceeds 64 MiB from "},
    };
    listed plain = list_url(server_->http(kSmall));
    ASSERT_EQ(plain.rc, 0) << plain.error;
    for (const gzip_case &c : cases) {
        write_readable(www("/gz/" + c.file), c.bytes);
        std::string url = server_->http(c.path);
        listed got = list_url(url);
        if (c.error.empty()) {
            EXPECT_EQ(got.rc, 0) << c.name << ": " << got.error;
            EXPECT_EQ(got.doc, plain.doc) << c.name;
        } else {
            EXPECT_EQ(got.rc, QVX_E_CONTENT) << c.name;
            EXPECT_EQ(got.error, c.error + url) << c.name;
        }
    }
}

struct credentials_case {
    const char *name;
    std::string userinfo;
    std::string path;
    int rc;
    std::string failed_at;  // the request the message names
    std::string authorization;  // as the last request carried it ("-": none)
    size_t requests;
};

// The URL's credentials answer nginx's auth_basic, go along a redirect that
// stays at the origin and are dropped on one that leaves it; no message and
// no statistic shows them.
TEST_F(RealServers, CredentialsOfTheUrl) {
    const std::string right = "iptv:s3cret%20pass@", basic = "Basic aXB0djpzM2NyZXQgcGFzcw==";
    const std::string to_private = std::string("/private") + kSmall;
    const std::vector<credentials_case> cases = {
        {"right", right, to_private, 0, "", basic, 2},
        {"wrong", "iptv:wrong@", to_private, QVX_E_ACCESS, server_->http(to_private), "Basic aXB0djp3cm9uZw==", 2},
        {"none", "", to_private, QVX_E_ACCESS, server_->http(to_private), "-", 1},
        {"a redirect at the origin", right, "/same", 0, "", basic, 3},
        {"a redirect to another origin", right, "/cross", QVX_E_ACCESS,
         "http://localhost:" + server_->http("").substr(17) + to_private, "-", 2},
    };
    for (const credentials_case &c : cases) {
        std::string url = server_->http(c.path);
        url.insert(7, c.userinfo);
        listed got = list_url(url);
        EXPECT_EQ(got.rc, c.rc) << c.name << ": " << got.error;
        if (c.rc) {
            EXPECT_EQ(got.error, "HTTP 401 from " + c.failed_at) << c.name;
        }
        EXPECT_EQ(logged(c.requests)[kAuthorization], c.authorization) << c.name;
        for (const char *secret : {"s3cret", "wrong"}) {
            EXPECT_EQ(got.doc.find(secret), std::string::npos) << c.name;
            EXPECT_EQ(std::string(vqiptv_stats_json()).find(secret), std::string::npos) << c.name;
        }
    }
}

// The settings' User-Agent and headers reach the server.
TEST_F(RealServers, TheSourcesUserAgentAndHeaders) {
    std::string settings =
        settings_for(server_->http(kSmall), ",\"UserAgent\":\"VLC/3.0.18 LibVLC/3.0.18\",\"Headers\":{\"X-Device\":\"box 1\"}");
    std::vector<char> out(1 << 20);
    ASSERT_EQ(vqiptv_validate(settings.c_str(), out.data(), static_cast<int32_t>(out.size())), 0)
        << vqiptv_last_error();
    std::vector<std::string> seen = logged(1);
    EXPECT_EQ(seen[kUserAgent], "VLC/3.0.18 LibVLC/3.0.18");
    EXPECT_EQ(seen[kDevice], "box 1");
    ASSERT_EQ(list_url(server_->http(kSmall) + "?plain").rc, 0);
    EXPECT_EQ(logged(1)[kUserAgent], "quorvex-iptv/1.1.0");
}

TEST_F(RealServers, ARedirectLoopIsTooManyRedirects) {
    std::string url = server_->http("/loop");
    listed got = list_url(url);
    EXPECT_EQ(got.rc, QVX_E_CONTENT);
    EXPECT_EQ(got.error, "too many redirects from " + url);
}

const digest_secret kDigest = {"bob", "s:cret", "iptv", "6f1c2a"};

// Digest, chosen by the transport from what the server offers.
TEST(RealDigest, CredentialsOfTheUrlAnswerDigest) {
    if (vqiptv_use_curl() != 0) GTEST_SKIP() << "no network transport in this build";
    wire_server server([](const wire_request &r) {
        if (digest_valid(r, kDigest)) return http_response(200, {}, "#EXTM3U\n#EXTINF:-1,A\nhttp://a/\n");
        return http_response(401, {"WWW-Authenticate: Digest realm=\"iptv\", nonce=\"6f1c2a\", qop=\"auth\""});
    });
    struct digest_case {
        const char *userinfo;
        int rc;
        size_t requests;
    };
    const digest_case cases[] = {{"bob:s%3Acret@", 0, 2}, {"bob:wrong@", QVX_E_ACCESS, 2}, {"", QVX_E_ACCESS, 1}};
    size_t before = 0;
    for (const digest_case &c : cases) {
        vqiptv_cache_clear();
        std::string url = server.url("/list.m3u");
        listed got = list_url(url.insert(7, c.userinfo));
        EXPECT_EQ(got.rc, c.rc) << c.userinfo << ": " << got.error;
        std::vector<wire_request> seen = server.requests();
        EXPECT_EQ(seen.size() - before, c.requests) << c.userinfo;
        before = seen.size();
        if (c.rc) {
            EXPECT_EQ(got.error, "HTTP 401 from " + server.url("/list.m3u")) << c.userinfo;
        }
    }
}

// A trickle well above the rate floor, which no idle limit ends, still ends
// at the whole fetch's deadline (shortened to two seconds here).
TEST(RealDeadline, ATrickleEndsAtTheDeadline) {
    if (vqiptv_use_curl() != 0) GTEST_SKIP() << "no network transport in this build";
    wire_server server([](const wire_request &, wire_conn &c) {
        if (!c.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n#EXTM3U\n")) return;
        c.trickle(std::string(100000, '#'), 64, 500);
    });
    vqc::fetch_deadline_for_tests(2000);
    std::string url = server.url("/slow.m3u");
    listed got = list_url(url);
    vqc::fetch_deadline_for_tests(0);
    EXPECT_EQ(got.rc, QVX_E_NETWORK);
    EXPECT_EQ(got.error, "the fetch of " + url + " took longer than 2 s");
}

// Certificates made for the test: a CA it trusts, one it does not, and
// leaves for 127.0.0.1 (good, expired) and for another name.
class Certificates {
public:
    Certificates() {
        char tmpl[] = "/tmp/qvx-tls-XXXXXX";
        if (!::mkdtemp(tmpl)) return;
        dir_ = tmpl;
        ::chmod(tmpl, 0755);
        ok_ = make_ca("ca") && make_ca("stranger") && make_leaf("good", "ca", "IP:127.0.0.1", 2) &&
              make_leaf("expired", "ca", "IP:127.0.0.1", -1) && make_leaf("other", "ca", "DNS:other.example", 2) &&
              make_leaf("unknown", "stranger", "IP:127.0.0.1", 2);
    }
    ~Certificates() {
        std::error_code ec;
        if (!dir_.empty()) fs::remove_all(dir_, ec);
    }
    bool ok() const { return ok_; }
    std::string file(const std::string &name) const { return dir_ + "/" + name; }

private:
    bool run(const std::string &command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }
    bool make_ca(const std::string &name) {
        return run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout " +
                   file(name + ".key") + " -out " + file(name + ".pem") + " -days 2 -subj /CN=" + name);
    }
    bool make_leaf(const std::string &name, const std::string &ca, const std::string &san, int days) {
        std::ofstream(file(name + ".ext")) << "subjectAltName=" << san << "\n";
        return run("openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout " +
                   file(name + ".key") + " -out " + file(name + ".csr") + " -subj /CN=" + name) &&
               run("openssl x509 -req -in " + file(name + ".csr") + " -CA " + file(ca + ".pem") + " -CAkey " +
                   file(ca + ".key") + " -CAcreateserial -days " + std::to_string(days) + " -extfile " +
                   file(name + ".ext") + " -out " + file(name + ".pem")) &&
               ::chmod(file(name + ".key").c_str(), 0644) == 0;
    }

    std::string dir_;
    bool ok_ = false;
};

struct tls_case {
    const char *leaf;
    std::string error;  // libcurl's words; "": listed
};

// Each failed certificate check says which check failed.
TEST(RealTls, TheMessageNamesTheCheckThatFailed) {
    if (vqiptv_use_curl() != 0) GTEST_SKIP() << "no network transport in this build";
    Certificates certs;
    ASSERT_TRUE(certs.ok());
    const tls_case cases[] = {
        {"good", ""},
        {"unknown", "SSL certificate problem: unable to get local issuer certificate"},
        {"expired", "SSL certificate problem: certificate has expired"},
        {"other", "SSL: no alternative certificate subject name matches target host name '127.0.0.1'"},
    };
    std::string files = std::string(QVX_CORPUS_DIR) + "/channels-2019-05";
    const std::string trusted = certs.file("ca.pem");  // the transport keeps the pointer
    quorvex_curl_trust_for_tests(trusted.c_str());
    for (const tls_case &c : cases) {
        nginx_server server(
            nginx_site{files, "", "", certs.file(std::string(c.leaf) + ".pem"), certs.file(std::string(c.leaf) + ".key")});
        ASSERT_TRUE(server.ok()) << server.error();
        std::string url = server.https("/af.m3u");
        listed got = list_url(url);
        if (c.error.empty()) {
            EXPECT_EQ(got.rc, 0) << c.leaf << ": " << got.error;
        } else {
            EXPECT_EQ(got.rc, QVX_E_NETWORK) << c.leaf;
            EXPECT_EQ(got.error, "network: tls failed: " + c.error + " (60) (" + url + ")") << c.leaf;
        }
    }
    quorvex_curl_trust_for_tests(nullptr);
}

// A port nothing listens on.
int closed_port() {
    wire_server probe([](const wire_request &) { return std::string(); });
    return probe.port();
}

struct proxy_case {
    const char *name;
    std::string proxy;
    std::string scheme_variable;
    std::string message_start;
};

// A proxy from the environment that cannot be reached, or refuses the
// tunnel, is named as the proxy.
TEST(RealProxy, AFailedProxyIsNamed) {
    if (vqiptv_use_curl() != 0) GTEST_SKIP() << "no network transport in this build";
    wire_server refusing([](const wire_request &) { return http_response(403, {}, "no"); });
    const std::vector<proxy_case> cases = {
        {"unreachable", "http://127.0.0.1:" + std::to_string(closed_port()), "http_proxy",
         "network: connect to proxy failed: "},
        {"refusing the tunnel", "http://127.0.0.1:" + std::to_string(refusing.port()), "https_proxy",
         "network: proxy tunnel failed: "},
    };
    const std::string url_tail = "//playlist.example/list.m3u";
    for (const proxy_case &c : cases) {
        std::string no_proxy = std::getenv("no_proxy") ? std::getenv("no_proxy") : "";
        ::unsetenv("no_proxy");
        ::unsetenv("NO_PROXY");
        ::setenv(c.scheme_variable.c_str(), c.proxy.c_str(), 1);
        std::string url = (c.scheme_variable == "http_proxy" ? "http:" : "https:") + url_tail;
        listed got = list_url(url);
        ::unsetenv(c.scheme_variable.c_str());
        ::setenv("no_proxy", no_proxy.c_str(), 1);
        ::setenv("NO_PROXY", no_proxy.c_str(), 1);
        EXPECT_EQ(got.rc, QVX_E_NETWORK) << c.name;
        EXPECT_EQ(got.error.rfind(c.message_start, 0), 0u) << c.name << ": " << got.error;
        EXPECT_NE(got.error.find("(" + url + ")"), std::string::npos) << c.name << ": " << got.error;
    }
}

}  // namespace
