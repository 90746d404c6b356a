#include "wire_server.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "common/ascii.h"

namespace {

constexpr int k_idle_ms = 10000;    // longest wait for a client's next bytes or room to send
constexpr int k_forgotten_ms = 600000;  // a server without clients this long has been forgotten
constexpr int k_slice_ms = 20;      // how soon a waiting thread notices the shutdown
constexpr size_t k_head_max = 1 << 20;

// Waits in short slices until s is ready; false on shutdown or after max_ms.
bool ready(wire_socket::handle s, bool for_write, int max_ms, const std::atomic<bool> &stopping) {
    for (int waited = 0; waited < max_ms && !stopping; waited += k_slice_ms)
        if (wire_socket::wait(s, for_write, k_slice_ms)) return !stopping;
    return false;
}

const char *reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 304: return "Not Modified";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    default: return "Status";
    }
}

// Whether a header line is called name (a line without a colon is called nothing).
bool line_named(std::string_view line, std::string_view name) {
    size_t colon = line.find(':');
    return colon != line.npos && vq_ieq(line.substr(0, colon), name);
}

std::string line_value(std::string_view line) {
    size_t v = line.find_first_not_of(" \t", line.find(':') + 1);
    return v == line.npos ? std::string() : std::string(line.substr(v));
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
    auto it = std::find_if(lines.begin(), lines.end(), [&](const std::string &l) { return line_named(l, name); });
    return it == lines.end() ? std::string() : line_value(*it);
}

std::vector<std::string> wire_request::all(std::string_view name) const {
    std::vector<std::string> out;
    for (const std::string &line : lines)
        if (line_named(line, name)) out.push_back(line_value(line));
    return out;
}

bool wire_request::has(std::string_view name) const {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string &l) { return line_named(l, name); });
}

bool wire_conn::send(std::string_view bytes) {
    while (!bytes.empty()) {
        if (!ready(s_, true, k_idle_ms, stopping_)) return false;
        long n = wire_socket::send(s_, bytes.data(), bytes.size());
        if (n < 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool wire_conn::trickle(std::string_view bytes, size_t piece, int gap_ms) {
    for (size_t at = 0; at < bytes.size(); at += piece)
        if ((at > 0 && !pause(gap_ms)) || !send(bytes.substr(at, piece))) return false;
    return true;
}

bool wire_conn::flood(std::string_view piece, size_t total) {
    for (size_t sent = 0; sent < total; sent += piece.size())
        if (!send(piece.substr(0, total - sent))) return false;
    return true;
}

bool wire_conn::pause(int ms) {
    using namespace std::chrono;
    const auto until = steady_clock::now() + milliseconds(ms);
    for (auto now = steady_clock::now(); !stopping_ && now < until; now = steady_clock::now())
        std::this_thread::sleep_for(std::min<steady_clock::duration>(milliseconds(k_slice_ms), until - now));
    return !stopping_;
}

void wire_conn::stall(int max_ms) {
    pause(max_ms);
    closed_ = true;
}

wire_server::wire_server(wire_handler handler, wire_options options)
    : handler_(std::move(handler)), options_(options), listener_(wire_socket::listen_loopback(&port_)) {
    acceptor_ = std::thread([this] { accept_loop(); });
}

wire_server::wire_server(wire_reply reply)
    : wire_server([reply = std::move(reply)](const wire_request &r, wire_conn &c) {
          if (!c.send(reply(r))) c.close();
      }) {}

wire_server::~wire_server() {
    stopping_ = true;  // every wait notices it within one slice
    acceptor_.join();
    for (std::thread &t : conns_) t.join();
    wire_socket::close(listener_);
}

std::string wire_server::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<wire_request> wire_server::requests() const {
    std::lock_guard<std::mutex> lock(mu_);
    return seen_;
}

void wire_server::accept_loop() {
    while (ready(listener_, false, k_forgotten_ms, stopping_)) {
        wire_socket::handle s = wire_socket::accept(listener_);
        if (s == wire_socket::none) continue;
        std::lock_guard<std::mutex> lock(mu_);
        conns_.emplace_back([this, s] { serve(s); });
    }
}

void wire_server::serve(wire_socket::handle s) {
    std::string pending;
    wire_conn conn(s, stopping_);
    wire_request req;
    while (!conn.closed() && read_request(s, pending, req)) {
        {
            std::lock_guard<std::mutex> lock(mu_);
            req.index = static_cast<int>(seen_.size());
            seen_.push_back(req);
        }
        handler_(req, conn);
        req = wire_request{};
    }
    wire_socket::close(s, conn.reset());
}

bool wire_server::fill(wire_socket::handle s, std::string &pending) {
    char chunk[16384];
    long n = 0;
    while (n == 0) {
        if (!ready(s, false, k_idle_ms, stopping_)) return false;
        n = wire_socket::receive(s, chunk, sizeof chunk);
    }
    if (n < 0) return false;
    pending.append(chunk, static_cast<size_t>(n));
    return true;
}

bool wire_server::read_request(wire_socket::handle s, std::string &pending, wire_request &out) {
    size_t end;
    while ((end = pending.find("\r\n\r\n")) == pending.npos) {
        // Anything but a request line (a TLS handshake, say) ends the connection.
        bool http = pending.empty() || vq_is_upper(pending[0]);
        if (!http || pending.size() > k_head_max || !fill(s, pending)) return false;
    }
    parse_head(std::string_view(pending).substr(0, end), out);
    pending.erase(0, end + 4);
    if (!options_.read_body) return true;
    size_t want = std::strtoull(out.header("Content-Length").c_str(), nullptr, 10);
    while (pending.size() < want)
        if (!fill(s, pending)) return false;
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
        has_length = has_length || line_named(line, "Content-Length");
    }
    if (with_length && !has_length) out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    out += "\r\n";
    out += body;
    return out;
}

int closed_loopback_port() {
    int port = 0;
    wire_socket::close(wire_socket::listen_loopback(&port));
    return port;
}
