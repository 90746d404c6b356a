#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "wire_socket.h"

namespace wire_socket {

handle listen_loopback(int *port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(fd, 64) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0) {
        if (fd >= 0) ::close(fd);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    *port = ntohs(a.sin_port);
    return fd;
}

handle accept(handle listener) {
    int fd = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    return fd < 0 ? none : fd;
}

bool wait(handle s, bool for_write, int max_ms) {
    pollfd p{static_cast<int>(s), static_cast<short>(for_write ? POLLOUT : POLLIN), 0};
    return ::poll(&p, 1, max_ms) > 0;
}

namespace {
long moved(ssize_t n) {
    if (n > 0) return static_cast<long>(n);
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? 0 : -1;
}
}  // namespace

long receive(handle s, char *into, size_t max) { return moved(::recv(static_cast<int>(s), into, max, 0)); }

long send(handle s, const char *bytes, size_t len) {
    return moved(::send(static_cast<int>(s), bytes, len, MSG_NOSIGNAL));
}

void close(handle s, bool reset) {
    if (reset) {
        linger l{1, 0};
        ::setsockopt(static_cast<int>(s), SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
    ::close(static_cast<int>(s));
}

}  // namespace wire_socket
