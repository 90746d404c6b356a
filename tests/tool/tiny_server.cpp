#include "tiny_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

TinyServer::TinyServer(std::string body) : body_(std::move(body)) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr *>(&addr), len) != 0 || listen(listener_, 8) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
        return;
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
}

TinyServer::~TinyServer() {
    stop_ = true;
    if (listener_ >= 0) shutdown(listener_, SHUT_RDWR);  // wakes the blocked accept()
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) close(listener_);
}

std::string TinyServer::url(const std::string &path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
}

void TinyServer::serve() {
    while (!stop_) {
        int conn = accept(listener_, nullptr, nullptr);
        if (conn < 0) continue;
        answer(conn);
        close(conn);
    }
}

void TinyServer::answer(int conn) {
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        ssize_t n = recv(conn, buf, sizeof buf, 0);
        if (n <= 0) return;
        request.append(buf, static_cast<size_t>(n));
    }
    ++requests_;
    std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: audio/x-mpegurl\r\nContent-Length: " +
                        std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_;
    for (size_t sent = 0; sent < reply.size();) {
        ssize_t n = send(conn, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}
