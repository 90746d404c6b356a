#include "wire_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace {

constexpr int k_idle_ms = 10000;  // longest wait for a client's next bytes
constexpr size_t k_head_max = 1 << 20;

bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Waits until fd is readable or the server shuts down; false on shutdown,
// timeout or error.
bool readable(int fd, int wake_fd, int max_ms) {
    pollfd p[2] = {{fd, POLLIN, 0}, {wake_fd, POLLIN, 0}};
    int n = ::poll(p, 2, max_ms);
    return n > 0 && !(p[1].revents & POLLIN) && p[0].revents;
}

int listen_loopback() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(fd, 64) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    return fd;
}

const char *reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    default: return "Status";
    }
}

void parse_head(std::string_view head, wire_request &out) {
    size_t eol = head.find("\r\n");
    std::string_view first = head.substr(0, eol);
    size_t sp1 = first.find(' '), sp2 = first.rfind(' ');
    out.method = std::string(first.substr(0, sp1));
    out.target = std::string(first.substr(sp1 + 1, sp2 - sp1 - 1));
    while (eol != head.npos) {
        size_t next = head.find("\r\n", eol + 2);
        std::string_view line = head.substr(eol + 2, next == head.npos ? head.npos : next - eol - 2);
        if (!line.empty()) out.lines.emplace_back(line);
        eol = next;
    }
}

}  // namespace

std::string wire_request::header(std::string_view name) const {
    for (const std::string &line : lines) {
        size_t colon = line.find(':');
        if (colon == line.npos || !same_name(std::string_view(line).substr(0, colon), name)) continue;
        size_t v = line.find_first_not_of(' ', colon + 1);
        return v == line.npos ? std::string() : line.substr(v);
    }
    return {};
}

bool wire_request::has(std::string_view name) const {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string &line) {
        size_t colon = line.find(':');
        return colon != line.npos && same_name(std::string_view(line).substr(0, colon), name);
    });
}

void wire_conn::send(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}

void wire_conn::stall(int max_ms) {
    pollfd p{wake_fd_, POLLIN, 0};
    ::poll(&p, 1, max_ms);
    closed_ = true;
}

wire_server::wire_server(wire_handler handler, wire_options options)
    : handler_(std::move(handler)), options_(options), listen_fd_(listen_loopback()) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr *>(&a), &len);
    port_ = ntohs(a.sin_port);
    if (::pipe2(wake_, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    acceptor_ = std::thread([this] { accept_loop(); });
}

wire_server::~wire_server() {
    char byte = 1;
    (void)!::write(wake_[1], &byte, 1);
    acceptor_.join();
    for (std::thread &t : conns_) t.join();
    ::close(listen_fd_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

std::string wire_server::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<wire_request> wire_server::requests() const {
    std::lock_guard<std::mutex> lock(mu_);
    return seen_;
}

void wire_server::accept_loop() {
    // The suite's whole life is bounded by ctest; a server without clients
    // for a minute has been forgotten.
    while (readable(listen_fd_, wake_[0], 60000)) {
        int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard<std::mutex> lock(mu_);
        conns_.emplace_back([this, fd] { serve(fd); });
    }
}

void wire_server::serve(int fd) {
    std::string pending;
    wire_conn conn(fd, wake_[0]);
    wire_request req;
    while (!conn.closed() && read_request(fd, pending, req)) {
        {
            std::lock_guard<std::mutex> lock(mu_);
            req.index = static_cast<int>(seen_.size());
            seen_.push_back(req);
        }
        handler_(req, conn);
        req = wire_request{};
    }
    ::close(fd);
}

bool wire_server::fill(int fd, std::string &pending) {
    char chunk[16384];
    if (!readable(fd, wake_[0], k_idle_ms)) return false;
    ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    pending.append(chunk, static_cast<size_t>(n));
    return true;
}

bool wire_server::read_request(int fd, std::string &pending, wire_request &out) {
    size_t end;
    while ((end = pending.find("\r\n\r\n")) == pending.npos)
        if (pending.size() > k_head_max || !fill(fd, pending)) return false;
    parse_head(std::string_view(pending).substr(0, end), out);
    pending.erase(0, end + 4);
    if (!options_.read_body) return true;
    size_t want = std::strtoull(out.header("Content-Length").c_str(), nullptr, 10);
    while (pending.size() < want)
        if (!fill(fd, pending)) return false;
    out.body = pending.substr(0, want);
    pending.erase(0, want);
    return true;
}

std::string http_response(int status, const std::vector<std::string> &lines, std::string_view body,
                          bool with_length) {
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + reason(status) + "\r\n";
    bool has_length = false;
    for (const std::string &line : lines) {
        out += line + "\r\n";
        has_length = has_length || same_name(std::string_view(line).substr(0, line.find(':')), "Content-Length");
    }
    if (with_length && !has_length) out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    out += "\r\n";
    out += body;
    return out;
}
