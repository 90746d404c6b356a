#include "progress.h"

#include <chrono>
#include <cstdlib>

#include "common/alloc.h"
#include "common/ascii.h"
#include "http/buf.h"
#include "http/transports.h"
#include "tap.h"

namespace vqt {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

struct Meter final : Watcher {
    FILE *out = nullptr;
    uint64_t total = 0;  // since metered_io
    uint64_t bytes = 0;     // this exchange
    uint64_t expected = 0;  // its Content-Length, 0 when unknown
    bool encoded = false;   // a Content-Encoding makes the length that of other bytes
    Clock::time_point start, drawn;
    bool shown = false;

    void begin() override {
        bytes = expected = 0;
        encoded = shown = false;
        start = Clock::now();
    }

    void header(const char *name, const char *value) override {
        if (vq_ieq(name, "Content-Length")) expected = std::strtoull(value, nullptr, 10);
        if (vq_ieq(name, "Content-Encoding")) encoded = true;
    }

    void body(const void *, size_t n) override {
        bytes += n;
        total += n;
        auto now = Clock::now();
        if (!out || (shown && now - drawn < kRedrawEvery)) return;
        draw(now);
    }

    // The line goes once the download is over: the command's output follows.
    void end(int) override {
        if (!out || !shown) return;
        std::fputs("\r\033[K", out);
        std::fflush(out);
    }

    void draw(Clock::time_point now) {
        double secs = std::chrono::duration<double>(now - start).count();
        std::string rate = secs > 0.001 ? human_bytes(static_cast<double>(bytes) / secs) + "/s" : "-";
        std::fprintf(out, "\r\033[Kreceiving %s%s in %.1f s (%s)", human_bytes(static_cast<double>(bytes)).c_str(),
                     of_total().c_str(), secs, rate.c_str());
        std::fflush(out);
        shown = true;
        drawn = now;
    }

    // " of 4.0 MiB (30%)" while the length the server announced holds.
    std::string of_total() const {
        if (expected == 0 || encoded || bytes > expected) return "";
        char pct[16];
        std::snprintf(pct, sizeof pct, " (%d%%)", static_cast<int>(bytes * 100 / expected));
        return " of " + human_bytes(static_cast<double>(expected)) + pct;
    }
};

Meter g_meter;
Tap g_tap;

int collect(void *user, const void *data, size_t len) {
    return quorvex_buf_add(static_cast<quorvex_buf *>(user), data, len) == 0 ? 0 : 1;
}

// Whole-body GET over the metered transport; every text handed out is the
// tool's own heap copy, released by release().
int metered_get(void *ctx, const char *url, char **body, int *status, char **err) {
    const quorvex_http *http = quorvex_http_from_ctx(ctx);
    quorvex_buf buf{};
    quorvex_http_req req{};
    req.size = sizeof req;
    req.method = "GET";
    req.url = url;
    req.on_body = collect;
    req.user = &buf;
    char *inner_err = nullptr;
    *body = nullptr;
    *err = nullptr;
    int rc = http->request(http->ctx, &req, status, &inner_err);
    if (rc == 0 && quorvex_buf_addc(&buf, '\0') != 0) rc = -1;
    if (rc != 0) {
        *err = quorvex_strdup(inner_err ? inner_err : "oom");
        quorvex_buf_free(&buf);
    } else {
        *body = buf.data;
    }
    if (inner_err) http->free_buf(http->ctx, inner_err);
    return rc == 0 ? 0 : -1;
}

void release(void *, void *buf) { vq_free(buf); }

// The source client only ever fetches, so the record offers no post.
const quorvex_io g_io = {&g_tap.ctx, metered_get, nullptr, release};

}  // namespace

const quorvex_io *metered_io(const quorvex_http *inner, FILE *out) {
    g_meter = Meter{};
    g_meter.out = out;
    tap_bind(g_tap, inner, g_meter);
    return &g_io;
}

uint64_t metered_bytes() { return g_meter.total; }

std::string human_bytes(double n) {
    static const char *const units[] = {"B", "KiB", "MiB", "GiB"};
    int u = 0;
    while (n >= 1024 && u < 3) n /= 1024, ++u;
    char text[32];
    std::snprintf(text, sizeof text, u == 0 ? "%.0f %s" : "%.1f %s", n, units[u]);
    return text;
}

}  // namespace vqt
