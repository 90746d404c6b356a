// A transport that hands each exchange to an inner one and shows a watcher
// the answer's status, headers and body pieces on their way to the caller's
// sinks: the download meter and the playlist copy are such watchers.
#pragma once
#include <cstddef>

#include "quorvex_iptv.h"

namespace vqt {

class Watcher {
public:
    virtual void begin() = 0;  // an exchange starts
    virtual void header(const char *name, const char *value) = 0;  // ":status" first
    virtual void body(const void *data, size_t len) = 0;
    virtual void end(int rc) = 0;  // the transport's result

protected:
    ~Watcher() = default;
};

// The transport record and its context; the library reaches the tap through
// an I/O record whose context is `ctx`.
struct Tap {
    const quorvex_http *inner = nullptr;
    Watcher *watcher = nullptr;
    quorvex_http http{};
    quorvex_http_ctx ctx{};
};

// Makes tap pass exchanges to inner, shown to watcher; both outlive its use.
void tap_bind(Tap &tap, const quorvex_http *inner, Watcher &watcher);

}  // namespace vqt
