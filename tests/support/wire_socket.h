// The few socket calls the loopback wire server makes, behind one seam: BSD
// sockets on POSIX systems (wire_socket_posix.cpp), winsock on Windows
// (wire_socket_win.cpp). Every socket it hands out is non-blocking.
#pragma once
#include <cstddef>
#include <cstdint>

namespace wire_socket {

using handle = std::intptr_t;
constexpr handle none = -1;

// A socket listening on 127.0.0.1 at a port the system picks; throws when
// there is none.
handle listen_loopback(int *port);
// The next waiting connection, or none.
handle accept(handle listener);
// Waits up to max_ms until s can be read (or written); true when it can.
bool wait(handle s, bool for_write, int max_ms);
// The bytes moved: 0 when the call would block, -1 when the peer closed or the
// connection broke.
long receive(handle s, char *into, size_t max);
long send(handle s, const char *bytes, size_t len);
// Closes s; with reset, the peer sees a reset instead of an orderly end.
void close(handle s, bool reset = false);

}  // namespace wire_socket
