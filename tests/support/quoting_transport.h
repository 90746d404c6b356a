// A host's own transport over one of the library's: the same exchange with
// the receive limit the host chose, and every failure text quoting the URL it
// was asked for, credentials and query included, as a host's transport may.
// What the library makes of those texts must still hold no secret.
#pragma once
#include "quorvex_iptv.h"

class quoting_transport {
public:
    // receive_ms 0: the base transport's default.
    quoting_transport(const quorvex_http *base, int receive_ms);
    quoting_transport(const quoting_transport &) = delete;
    quoting_transport &operator=(const quoting_transport &) = delete;

    const quorvex_http *http() const { return &http_; }

private:
    static int request(void *ctx, const quorvex_http_req *req, int *status, char **err);
    static void free_buf(void *ctx, void *buf);

    const quorvex_http *base_;
    int receive_ms_;
    quorvex_http http_;
};
