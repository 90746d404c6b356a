// Bytes received on the sockets of one libcurl exchange, as the kernel counts
// them. libcurl counts a header line only once it is complete, so a line that
// trickles in byte by byte would otherwise look like a stall to the idle
// timeouts and the rate floor.
#include <unistd.h>

#include <algorithm>

#ifdef __linux__
#include <linux/tcp.h>
#include <netinet/in.h>
#endif

#include "http/curl/curl_work.h"

namespace {

uint64_t received_on(curl_socket_t fd) {
#ifdef __linux__
    tcp_info info{};
    socklen_t len = sizeof info;
    if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &len) == 0 &&
        len >= offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received)
        return info.tcpi_bytes_received;
#else
    (void)fd;
#endif
    return 0;
}

int on_open(void *user, curl_socket_t fd, curlsocktype) {
    curl_sockets &s = static_cast<curl_work *>(user)->sockets;
    if (s.count < curl_sockets::kMax) s.live[s.count++] = fd;
    return CURL_SOCKOPT_OK;
}

// A closed socket's bytes still count: the exchange may go on over another.
int on_close(void *user, curl_socket_t fd) {
    curl_sockets &s = static_cast<curl_work *>(user)->sockets;
    curl_socket_t *end = s.live + s.count;
    curl_socket_t *at = std::find(s.live, end, fd);
    if (at != end) {
        s.closed_bytes += received_on(fd);
        *at = end[-1];
        --s.count;
    }
    return close(fd);
}

}  // namespace

CURLcode quorvex_curl_track_sockets(curl_work *w) {
    CURLcode rc = curl_easy_setopt(w->easy, CURLOPT_SOCKOPTFUNCTION, on_open);
    if (rc == CURLE_OK) rc = curl_easy_setopt(w->easy, CURLOPT_SOCKOPTDATA, w);
    if (rc == CURLE_OK) rc = curl_easy_setopt(w->easy, CURLOPT_CLOSESOCKETFUNCTION, on_close);
    if (rc == CURLE_OK) rc = curl_easy_setopt(w->easy, CURLOPT_CLOSESOCKETDATA, w);
    return rc;
}

uint64_t quorvex_curl_socket_bytes(const curl_work *w) {
    uint64_t n = w->sockets.closed_bytes;
    for (int i = 0; i < w->sockets.count; ++i) n += received_on(w->sockets.live[i]);
    return n;
}
