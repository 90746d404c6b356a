// Probing streams as a player opens them, many at once on libcurl's multi
// interface: each probe asks for the stream with the channel's headers,
// follows redirects and an HLS playlist's first variant and first segment,
// and ends as soon as media bytes arrive or it is clear none will. Each is
// bounded in time and in bytes read, and keeps only a verdict.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "render.h"

namespace vqt {

enum class Cause : uint8_t {
    live,                // media bytes arrived
    dns,                 // the host name did not resolve
    connect,             // no connection (refused, unreachable)
    tls,                 // the TLS handshake or the certificate check failed
    timeout,             // the probe's time ran out
    http,                // an HTTP status other than 2xx, or a redirect without a target
    not_media,           // the answer held no media bytes (an HTML or text page)
    empty_playlist,      // an M3U answer without a variant or segment
    redirect_loop,       // a request chain ran into the redirect limit
    unsupported_scheme,  // not http or https (rtmp, rtsp, udp, ...): not probed
    no_data,             // the answer ended, or the connection broke, before any byte
    bad_url,             // a URL that cannot be asked for
};

struct Verdict {
    Cause cause = Cause::live;
    uint16_t status = 0;  // the HTTP status, with Cause::http
    uint32_t ms = 0;      // live: from the probe's start to its first media byte
};

// "live", "http 403", "timeout", "redirect loop", ...
std::string verdict_text(const Verdict &v);

// The bytes of heads and bodies one probe reads at most.
constexpr size_t kProbeBytes = 256 * 1024;
// Requests in one chain of redirects, the first included, as the playlist
// fetch allows.
constexpr int kMaxRequests = 9;

struct ProbeLimits {
    int jobs = 16;               // probes at once
    uint32_t timeout_ms = 10000;  // one probe, all its requests together
    size_t max_bytes = kProbeBytes;
};

// The stream of probe `index`; false ends the run: no further probe starts.
using NextStream = std::function<bool(size_t index, Stream &stream)>;
// A probe's verdict, with the stream it probed.
using OnVerdict = std::function<void(size_t index, const Stream &stream, const Verdict &verdict)>;

// Probes streams 0 to count - 1 in order, at most limits.jobs at once, and
// reports each verdict as it comes. Answers "" once all are reported (or next
// stopped the run and those started are), else why libcurl could not run.
std::string run_probes(size_t count, const ProbeLimits &limits, const NextStream &next, const OnVerdict &done);

}  // namespace vqt
