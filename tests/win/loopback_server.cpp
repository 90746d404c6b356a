#include "loopback_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <stdexcept>

namespace qvt {
namespace {

constexpr DWORD kSocketTimeoutMs = 20000;
constexpr size_t kMaxHead = 64 * 1024;
constexpr DWORD kSliceMs = 50;

std::string lower(std::string s) {
    for (char &c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct WinsockInit {
    WinsockInit() {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup");
    }
    ~WinsockInit() { WSACleanup(); }
};

void ensure_winsock() { static WinsockInit init; }

SOCKET bound_socket(int *port) {
    ensure_winsock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) throw std::runtime_error("socket");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof addr;
    if (bind(s, reinterpret_cast<sockaddr *>(&addr), len) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        closesocket(s);
        throw std::runtime_error("bind");
    }
    *port = ntohs(addr.sin_port);
    return s;
}

bool send_all(SOCKET s, const std::string &data) {
    for (size_t off = 0; off < data.size();) {
        int n = send(s, data.data() + off, static_cast<int>(std::min<size_t>(data.size() - off, 65536)), 0);
        if (n <= 0) return false;
        off += static_cast<size_t>(n);
    }
    return true;
}

// Waits until s can be read, in short slices so that a stopping server is
// noticed; false on stop or after the overall socket timeout.
bool readable(SOCKET s, const std::atomic<bool> &stopping) {
    for (DWORD waited = 0; waited < kSocketTimeoutMs && !stopping; waited += kSliceMs) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval tv{0, static_cast<long>(kSliceMs) * 1000};
        int n = select(0, &set, nullptr, nullptr, &tv);
        if (n != 0) return n > 0;
    }
    return false;
}

// Appends what arrives next; false on close, error, stop or timeout.
bool read_more(SOCKET s, std::string &buf, const std::atomic<bool> &stopping) {
    char chunk[16384];
    if (!readable(s, stopping)) return false;
    int n = recv(s, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buf.append(chunk, static_cast<size_t>(n));
    return true;
}

// Reads until `buf` holds at least `want` bytes.
bool fill(SOCKET s, std::string &buf, size_t want, const std::atomic<bool> &stopping) {
    while (buf.size() < want)
        if (!read_more(s, buf, stopping)) return false;
    return true;
}

bool read_head(SOCKET s, std::string &buf, size_t *end, const std::atomic<bool> &stopping) {
    for (;;) {
        size_t pos = buf.find("\r\n\r\n");
        if (pos != std::string::npos) {
            *end = pos + 4;
            return true;
        }
        // Anything but a request line (a TLS handshake, say) ends the connection.
        bool http = buf.empty() || (buf[0] >= 'A' && buf[0] <= 'Z');
        if (!http || buf.size() > kMaxHead || !read_more(s, buf, stopping)) return false;
    }
}

HttpRequest parse_head(const std::string &head) {
    HttpRequest r;
    size_t line_end = head.find("\r\n");
    std::string first = head.substr(0, line_end);
    size_t sp1 = first.find(' ');
    size_t sp2 = first.find(' ', sp1 + 1);
    r.method = first.substr(0, sp1);
    r.target = first.substr(sp1 + 1, sp2 - sp1 - 1);
    for (size_t pos = line_end + 2; pos < head.size();) {
        size_t next = head.find("\r\n", pos);
        std::string line = head.substr(pos, next - pos);
        pos = next + 2;
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        size_t v = line.find_first_not_of(" \t", colon + 1);
        r.headers.emplace_back(line.substr(0, colon), v == std::string::npos ? "" : line.substr(v));
    }
    return r;
}

}  // namespace

std::vector<std::string> HttpRequest::all(const std::string &name) const {
    std::vector<std::string> out;
    for (const auto &[k, v] : headers)
        if (lower(k) == lower(name)) out.push_back(v);
    return out;
}

std::string HttpRequest::header(const std::string &name) const {
    auto values = all(name);
    return values.empty() ? std::string() : values.front();
}

std::string http_response(int status, const std::vector<std::string> &header_lines, const std::string &body) {
    std::string out = "HTTP/1.1 " + std::to_string(status) + " Status\r\n";
    for (const auto &line : header_lines) out += line + "\r\n";
    out += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    return out + body;
}

LoopbackServer::LoopbackServer(Handler handler) : handler_(std::move(handler)) {
    listener_ = bound_socket(&port_);
    if (listen(listener_, SOMAXCONN) != 0) {
        closesocket(listener_);
        throw std::runtime_error("listen");
    }
    acceptor_ = std::thread([this] { accept_loop(); });
}

LoopbackServer::~LoopbackServer() {
    stopping_ = true;  // every wait notices it within one slice
    acceptor_.join();
    closesocket(listener_);
    for (auto &t : workers_) t.join();
}

std::string LoopbackServer::url(const std::string &path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<HttpRequest> LoopbackServer::requests() const {
    std::lock_guard<std::mutex> g(mu_);
    return seen_;
}

void LoopbackServer::accept_loop() {
    while (!stopping_) {
        if (!readable(listener_, stopping_)) continue;
        SOCKET s = accept(listener_, nullptr, nullptr);
        if (s == INVALID_SOCKET) return;
        DWORD timeout = kSocketTimeoutMs;
        setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char *>(&timeout), sizeof timeout);
        workers_.emplace_back([this, s] { serve(s); });
    }
}

void LoopbackServer::serve(SOCKET s) {
    std::string buf;
    size_t head_end = 0;
    while (read_head(s, buf, &head_end, stopping_)) {
        HttpRequest req = parse_head(buf.substr(0, head_end));
        size_t body_len = std::strtoul(req.header("Content-Length").c_str(), nullptr, 10);
        if (!fill(s, buf, head_end + body_len, stopping_)) break;
        req.body = buf.substr(head_end, body_len);
        buf.erase(0, head_end + body_len);
        {
            std::lock_guard<std::mutex> g(mu_);
            seen_.push_back(req);
        }
        if (!send_all(s, handler_(req))) break;
    }
    closesocket(s);
}

int closed_port() {
    int port = 0;
    closesocket(bound_socket(&port));
    return port;
}

}  // namespace qvt
