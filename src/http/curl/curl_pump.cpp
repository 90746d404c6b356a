// The transfer loop of the libcurl transport. libcurl has no idle timeout
// finer than a second (CURLOPT_LOW_SPEED_*), so the loop drives the easy
// handle through a multi handle of its own and wakes exactly when the send
// or receive limit would run out: a limit counts from the last byte moved,
// as a socket's send and receive timeouts do. Once the request is sent, the
// response must also keep to the rate floor. Whatever the stage, the loop
// ends at the calling thread's deadline.
#include <algorithm>

#include "http/curl/curl_work.h"
#include "http/deadline.h"
#include "http/rate_floor.h"
#include "platform/platform.h"

namespace {

constexpr int k_default_idle_ms = 60000;
constexpr int k_poll_max_ms = 1000;

int or_default(int32_t ms) { return ms > 0 ? ms : k_default_idle_ms; }

// Called before every request of the exchange. The idle limits start once a
// connection is up (connecting has its own timeout) and again for every
// connection the exchange opens. One 401 is answered with the credentials: a
// request after a second 401 (libcurl answers a Digest "stale=true" again
// and again) is not made, and that 401 is the exchange's answer.
int on_connected(void *user, char *, char *, int, int) {
    auto *w = static_cast<curl_work *>(user);
    if (w->unauthorized >= 2) {
        w->stopped = true;
        return CURL_PREREQFUNC_ABORT;
    }
    w->connected = true;
    w->last_ms = vqp::now_ms();
    return CURL_PREREQFUNC_OK;
}

curl_off_t info_off(CURL *easy, CURLINFO what) {
    curl_off_t v = 0;
    curl_easy_getinfo(easy, what, &v);
    return v;
}

// What the sockets received, or libcurl's count of header and body bytes
// where that is more (a decoded body) or the kernel does not say.
uint64_t bytes_received(const curl_work &w) {
    long head = 0;
    curl_easy_getinfo(w.easy, CURLINFO_HEADER_SIZE, &head);
    auto counted = static_cast<uint64_t>(info_off(w.easy, CURLINFO_SIZE_DOWNLOAD_T) + head);
    return std::max(counted, quorvex_curl_socket_bytes(&w));
}

bool sending(const curl_work &w) {
    const quorvex_http_req *req = w.req;
    curl_off_t total = static_cast<curl_off_t>(req->body_len);
    return quorvex_curl_sends_body(req) && info_off(w.easy, CURLINFO_SIZE_UPLOAD_T) < total;
}

int receive_limit(const quorvex_http_req *req) {
    bool keep = req->flags & QVX_HTTP_FLAG_NO_READ_TIMEOUT;
    return or_default(keep ? req->timeout_ms : req->read_timeout_ms);
}

// The floor counts from the end of the request's body on. It speaks only
// when bytes have just arrived: a server gone quiet is the idle limit's.
bool too_slow(curl_work &w, uint64_t now, uint64_t received, bool up, bool arrived) {
    if (up || !w.floor_on) {
        w.floor_on = !up;
        quorvex_rate_start(&w.floor, static_cast<uint64_t>(receive_limit(w.req)), now, received);
        return false;
    }
    return quorvex_rate_too_slow(&w.floor, now, received) && arrived;
}

// Milliseconds until the idle limit runs out; at most 0 once it has or the
// rate floor failed.
int64_t idle_left(curl_work &w, uint64_t now) {
    uint64_t received = bytes_received(w);
    uint64_t moved = received + static_cast<uint64_t>(info_off(w.easy, CURLINFO_SIZE_UPLOAD_T));
    bool arrived = moved != w.moved;
    if (arrived) {
        w.moved = moved;
        w.last_ms = now;
    }
    bool up = sending(w);
    if (too_slow(w, now, received, up, arrived)) {
        w.too_slow = true;
        return 0;
    }
    int limit = up ? or_default(w.req->timeout_ms) : receive_limit(w.req);
    int64_t left = static_cast<int64_t>(w.last_ms + static_cast<uint64_t>(limit)) - static_cast<int64_t>(now);
    if (left <= 0) w.idle_stage = up ? "send" : "receive";
    return left;
}

// How long the loop may wait for the sockets; at most 0 when it is to end.
int64_t wait_left(curl_work &w) {
    uint64_t now = vqp::now_ms();
    auto until_deadline = static_cast<int64_t>(quorvex_deadline_left(now, k_poll_max_ms));
    if (until_deadline == 0) {
        w.past_deadline = true;
        return 0;
    }
    if (!w.connected) return until_deadline;
    return std::min(idle_left(w, now), until_deadline);
}

CURLcode from_multi(CURLMcode mc) { return mc == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_FAILED_INIT; }

CURLcode outcome(CURLM *multi) {
    int queued = 0;
    while (CURLMsg *msg = curl_multi_info_read(multi, &queued))
        if (msg->msg == CURLMSG_DONE) return msg->data.result;
    return CURLE_FAILED_INIT;
}

CURLcode drive(CURLM *multi, curl_work &w) {
    for (;;) {
        int running = 0;
        CURLMcode mc = curl_multi_perform(multi, &running);
        if (mc != CURLM_OK) return from_multi(mc);
        if (running == 0) return outcome(multi);
        int64_t left = wait_left(w);
        if (left <= 0) return CURLE_OPERATION_TIMEDOUT;
        mc = curl_multi_poll(multi, nullptr, 0, static_cast<int>(left), nullptr);
        if (mc != CURLM_OK) return from_multi(mc);
    }
}

}  // namespace

CURLcode quorvex_curl_pump(curl_work *w) {
    CURLcode rc = curl_easy_setopt(w->easy, CURLOPT_PREREQFUNCTION, on_connected);
    if (rc == CURLE_OK) rc = curl_easy_setopt(w->easy, CURLOPT_PREREQDATA, w);
    if (rc == CURLE_OK) rc = quorvex_curl_track_sockets(w);
    if (rc != CURLE_OK) return rc;
    CURLM *multi = curl_multi_init();
    if (!multi) return CURLE_OUT_OF_MEMORY;
    CURLMcode mc = curl_multi_add_handle(multi, w->easy);
    rc = mc == CURLM_OK ? drive(multi, *w) : from_multi(mc);
    curl_multi_remove_handle(multi, w->easy);
    curl_multi_cleanup(multi);
    return rc;
}
