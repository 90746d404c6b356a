// What an answer means to a player: media, a redirect to follow, an HLS
// playlist to step into, or why the stream will not play.
#include <array>
#include <new>

#include "common/alloc.h"
#include "hls.h"
#include "probe_state.h"
#include "source_client/fetch/redirect.h"
#include "source_client/util/url_util.h"

namespace vqt {
namespace {

// A judgement again only after this many more bytes: a server that trickles
// a byte at a time must not have the whole window sniffed per byte.
constexpr size_t kSniffStep = 512;

struct CauseOfCode {
    CURLcode code;
    Cause cause;
};

// Failures of the transfer itself; any other code is a connection that broke.
constexpr std::array kCauses = {
    CauseOfCode{CURLE_COULDNT_RESOLVE_HOST, Cause::dns},
    CauseOfCode{CURLE_COULDNT_RESOLVE_PROXY, Cause::dns},
    CauseOfCode{CURLE_COULDNT_CONNECT, Cause::connect},
    CauseOfCode{CURLE_OPERATION_TIMEDOUT, Cause::timeout},
    CauseOfCode{CURLE_SSL_CONNECT_ERROR, Cause::tls},
    CauseOfCode{CURLE_PEER_FAILED_VERIFICATION, Cause::tls},
    CauseOfCode{CURLE_SSL_CERTPROBLEM, Cause::tls},
    CauseOfCode{CURLE_SSL_CIPHER, Cause::tls},
    CauseOfCode{CURLE_SSL_CACERT_BADFILE, Cause::tls},
    CauseOfCode{CURLE_SSL_ISSUER_ERROR, Cause::tls},
    CauseOfCode{CURLE_URL_MALFORMAT, Cause::bad_url},
    CauseOfCode{CURLE_UNSUPPORTED_PROTOCOL, Cause::unsupported_scheme},
};

Next dead(Cause cause, long status = 0) { return {true, {cause, static_cast<uint16_t>(status), 0}}; }
Next live(uint32_t ms) { return {true, {Cause::live, 0, ms}}; }
Next onward() { return {false, {}}; }

uint32_t since_start(const Probe &p, uint64_t now_ms) { return static_cast<uint32_t>(now_ms - p.start_ms); }

Next failure(CURLcode rc) {
    for (const CauseOfCode &c : kCauses)
        if (c.code == rc) return dead(c.cause);
    return dead(Cause::no_data);
}

bool is_redirect(long s) { return s == 301 || s == 302 || s == 303 || s == 307 || s == 308; }

// Aims the probe at reference resolved against the URL it asked for.
Next aim(Probe &p, const char *reference, long status) {
    char *target = nullptr;
    switch (vqc::redirect_target(p.at.c_str(), reference, &target)) {
        case vqc::redirect_outcome::followed: break;
        case vqc::redirect_outcome::not_followed: return status ? dead(Cause::http, status) : dead(Cause::bad_url);
        case vqc::redirect_outcome::too_long: return dead(Cause::bad_url);
        case vqc::redirect_outcome::out_of_memory: throw std::bad_alloc();
    }
    p.at = target;
    vq_free(target);
    return vqc::vqiptv_url_is_http(p.at.c_str()) ? onward() : dead(Cause::unsupported_scheme);
}

Next redirect(Probe &p, long status) {
    if (p.requests >= kMaxRequests) return dead(Cause::redirect_loop);
    return aim(p, p.located ? p.location.c_str() : nullptr, status);
}

// A master playlist's first variant must be a media playlist, and a media
// playlist's first segment media: the steps a player takes, no more.
Next step_into(Probe &p) {
    HlsStep step = first_step(p.kept);
    if (step.kind == HlsStep::Kind::none) return dead(Cause::empty_playlist);
    bool variant = step.kind == HlsStep::Kind::variant;
    if (p.phase == Probe::Phase::segment || (variant && p.phase == Probe::Phase::variant))
        return dead(Cause::not_media);
    Next next = aim(p, std::string(step.uri).c_str(), 0);
    p.phase = variant ? Probe::Phase::variant : Probe::Phase::segment;
    p.encrypted = !variant && step.encrypted;
    p.requests = 0;
    return next;
}

}  // namespace

void take_body(Probe &p, std::string_view bytes, uint64_t now_ms) {
    if (bytes.empty() || p.media) return;
    if (p.encrypted) {
        p.media = true;  // ciphertext shows no signature: its arrival is all there is
        p.media_ms = since_start(p, now_ms);
        return;
    }
    if (p.kind != Sniffed::undecided && p.kind != Sniffed::playlist) return;
    p.kept.append(bytes);
    if (p.kind == Sniffed::playlist || p.kept.size() < p.sniffed + kSniffStep) return;
    p.sniffed = p.kept.size();
    p.kind = sniff(p.kept, false);
    p.media = p.kind == Sniffed::media;
    if (p.media) p.media_ms = since_start(p, now_ms);
}

Next judge(Probe &p, CURLcode rc, long status) {
    if (p.media) return live(p.media_ms);
    if (p.over && p.kind != Sniffed::playlist) return dead(Cause::not_media);
    // A write error is the probe's own stop: the head or the bytes said enough.
    if (rc != CURLE_OK && rc != CURLE_WRITE_ERROR) return failure(rc);
    if (is_redirect(status)) return redirect(p, status);
    if (status < 200 || status > 299) return dead(Cause::http, status);
    if (p.kind == Sniffed::undecided) p.kind = sniff(p.kept, true);
    if (p.kind == Sniffed::media) return live(since_start(p, vqc::vqiptv_now_ms()));
    if (p.kind == Sniffed::playlist) return step_into(p);
    return dead(p.kept.empty() ? Cause::no_data : Cause::not_media);
}

std::string verdict_text(const Verdict &v) {
    static constexpr std::array<const char *, 12> kTexts = {
        "live",         "dns",           "connect",       "tls",
        "timeout",      "http",          "not media",     "empty playlist",
        "redirect loop", "unsupported scheme", "no data", "bad url"};
    std::string text = kTexts[static_cast<size_t>(v.cause)];
    return v.cause == Cause::http ? text + " " + std::to_string(v.status) : text;
}

}  // namespace vqt
