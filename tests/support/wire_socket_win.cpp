#include <winsock2.h>

#include <stdexcept>

#include "wire_socket.h"

namespace wire_socket {
namespace {

struct winsock {
    winsock() {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup");
    }
    ~winsock() { WSACleanup(); }
};

SOCKET sock(handle s) { return static_cast<SOCKET>(s); }

void make_nonblocking(SOCKET s) {
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
}

long moved(int n) {
    if (n > 0) return n;
    return n < 0 && WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

}  // namespace

handle listen_loopback(int *port) {
    static winsock init;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof a;
    if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr *>(&a), len) != 0 || listen(s, SOMAXCONN) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr *>(&a), &len) != 0) {
        if (s != INVALID_SOCKET) closesocket(s);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    make_nonblocking(s);
    *port = ntohs(a.sin_port);
    return static_cast<handle>(s);
}

handle accept(handle listener) {
    SOCKET s = ::accept(sock(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET) return none;
    make_nonblocking(s);
    return static_cast<handle>(s);
}

bool wait(handle s, bool for_write, int max_ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(sock(s), &set);
    timeval tv{max_ms / 1000, (max_ms % 1000) * 1000};
    return select(0, for_write ? nullptr : &set, for_write ? &set : nullptr, nullptr, &tv) > 0;
}

long receive(handle s, char *into, size_t max) { return moved(recv(sock(s), into, static_cast<int>(max), 0)); }

long send(handle s, const char *bytes, size_t len) {
    return moved(::send(sock(s), bytes, static_cast<int>(len > 65536 ? 65536 : len), 0));
}

void close(handle s, bool reset) {
    if (reset) {
        linger l{1, 0};
        setsockopt(sock(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&l), sizeof l);
    }
    closesocket(sock(s));
}

}  // namespace wire_socket
