// The send and receive limits are idle timeouts, counted from the last byte
// moved and kept to well under a second; read_timeout_ms is the receive limit
// unless flags bit 1 says timeout_ms. Bounds are generous: the checks are
// about which limit fires and that an idle limit is not a total one.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "exchange.h"
#include "wire_server.h"

namespace {

using clock_type = std::chrono::steady_clock;

constexpr int k_short_ms = 300;
constexpr int k_long_ms = 20000;
constexpr long k_slack_ms = 4000;

long elapsed_ms(clock_type::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(clock_type::now() - since).count());
}

struct stall_case {
    const char *name;
    int timeout_ms, read_timeout_ms;
    uint32_t flags;
    const char *reply;  // sent before the server goes quiet
};

TEST(CurlTimeout, ReceiveLimitPicksTheRightField) {
    const stall_case cases[] = {
        {"read_timeout_ms is the receive limit", k_long_ms, k_short_ms, 0, ""},
        {"flag bit 1 keeps timeout_ms", k_short_ms, k_long_ms, QVX_HTTP_FLAG_NO_READ_TIMEOUT, ""},
        {"stall inside the headers", k_long_ms, k_short_ms, 0, "HTTP/1.1 200 OK\r\nX-A: 1\r\n"},
        {"stall inside the body", k_long_ms, k_short_ms, 0, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"},
    };
    for (const stall_case &t : cases) {
        wire_server server([&](const wire_request &, wire_conn &c) {
            c.send(t.reply);
            c.stall(k_long_ms);
        });
        call c;
        c.url = server.url("/stall");
        c.timeout_ms = t.timeout_ms;
        c.read_timeout_ms = t.read_timeout_ms;
        c.flags = t.flags;
        auto start = clock_type::now();
        outcome out = perform(c);
        long took = elapsed_ms(start);
        EXPECT_EQ(out.result, -1) << t.name;
        EXPECT_EQ(out.status, 0) << t.name;
        EXPECT_EQ(out.err, "receive failed: Timeout was reached (28)") << t.name;
        EXPECT_GE(took, k_short_ms - 10) << t.name;
        EXPECT_LT(took, k_short_ms + k_slack_ms) << t.name;
    }
}

TEST(CurlTimeout, SendLimitWhenTheServerStopsReading) {
    wire_options quiet;
    quiet.read_body = false;
    wire_server server([](const wire_request &, wire_conn &c) { c.stall(k_long_ms); }, quiet);
    call c;
    c.method = "PUT";
    c.url = server.url("/upload");
    c.body = std::string(64 << 20, 'u');  // far more than the socket buffers hold
    c.timeout_ms = k_short_ms;
    c.read_timeout_ms = k_long_ms;
    auto start = clock_type::now();
    outcome out = perform(c);
    long took = elapsed_ms(start);
    EXPECT_EQ(out.result, -1);
    EXPECT_EQ(out.err, "send failed: Timeout was reached (28)");
    EXPECT_GE(took, k_short_ms - 10);
    EXPECT_LT(took, k_short_ms + k_slack_ms);
}

// Bytes every 100 ms against an idle limit of 1 s, for longer than the limit
// in all: a stall of the loaded machine ten times the gap still passes, and a
// kilobyte every 100 ms keeps to the rate floor too.
TEST(CurlTimeout, IdleNotTotal) {
    static constexpr int pieces = 15, gap_ms = 100, idle_ms = 1000;
    const std::string body(pieces * 1024, 'x');
    wire_server server([&](const wire_request &, wire_conn &c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n");
        c.trickle(body, 1024, gap_ms);
    });
    call c;
    c.url = server.url("/drip");
    c.timeout_ms = idle_ms;
    c.read_timeout_ms = idle_ms;
    auto start = clock_type::now();
    outcome out = perform(c);
    EXPECT_EQ(out.result, 0) << out.err;
    EXPECT_EQ(out.body, body);
    EXPECT_GT(elapsed_ms(start), idle_ms);
}

// A listener whose accept queue is full and never drained: the kernel drops
// further connection attempts, so a connect waits until its own limit.
class full_listener {
public:
    full_listener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(fd_, 0);
        ::getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &len);
        port_ = ntohs(a.sin_port);
        for (int i = 0; i < 4; ++i) {
            int c = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            ::connect(c, reinterpret_cast<sockaddr *>(&a), sizeof a);
            fillers_.push_back(c);
        }
    }
    ~full_listener() {
        for (int c : fillers_) ::close(c);
        ::close(fd_);
    }
    int port() const { return port_; }

private:
    int fd_, port_ = 0;
    std::vector<int> fillers_;
};

TEST(CurlTimeout, ConnectLimit) {
    full_listener full;
    call c;
    c.url = "http://127.0.0.1:" + std::to_string(full.port()) + "/never";
    c.connect_timeout_ms = k_short_ms;
    auto start = clock_type::now();
    outcome out = perform(c);
    long took = elapsed_ms(start);
    EXPECT_EQ(out.result, -1);
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.err, "connect failed: Timeout was reached (28)");
    EXPECT_GE(took, k_short_ms - 10);
    EXPECT_LT(took, k_short_ms + k_slack_ms);
}

}  // namespace
