// The transfer loop: a fixed pool of probes on one multi handle, each with
// at most one request under way, refilled in order as probes end.
#include <algorithm>
#include <new>
#include <vector>

#include "common/ascii.h"
#include "http/curl/curl_shared.h"
#include "http/headers.h"
#include "probe_state.h"
#include "quorvex_iptv_version.h"
#include "source_client/fetch/source_headers.h"
#include "source_client/util/url_util.h"

namespace vqt {
namespace {

// The User-Agent of a stream whose channel names none: the library's own.
constexpr const char *kUserAgent = "User-Agent: quorvex-iptv/" QVX_VERSION_STRING;
constexpr long kPollMs = 100;

// Counts n more bytes read; false once that passes the probe's limit.
bool count(Probe &p, size_t n) {
    if (n > p.max_bytes - p.read) return p.over = true, false;
    p.read += n;
    return true;
}

// A head line: each answer's status line starts its head afresh.
size_t on_head(char *data, size_t size, size_t n, void *user) {
    auto &p = *static_cast<Probe *>(user);
    size_t len = size * n;
    if (!count(p, len)) return 0;
    std::string_view line(data, len);
    if (line.starts_with("HTTP/")) {
        p.location.clear();
        p.located = false;
    } else if (!p.located && vq_istarts_with(line, "Location:")) {
        line.remove_prefix(9);
        size_t from = line.find_first_not_of(" \t"), to = line.find_last_not_of(" \t\r\n");
        p.location = from == std::string_view::npos ? "" : std::string(line.substr(from, to - from + 1));
        p.located = true;
    }
    return len;
}

// Body bytes; a 0 answer stops the transfer once the head or the bytes said enough.
size_t on_body(char *data, size_t size, size_t n, void *user) {
    auto &p = *static_cast<Probe *>(user);
    size_t len = size * n;
    long status = 0;
    curl_easy_getinfo(p.easy, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) return 0;
    size_t take = std::min(len, p.max_bytes - p.read);
    p.read += take;
    take_body(p, std::string_view(data, take), vqc::vqiptv_now_ms());
    if (p.media || p.kind == Sniffed::other) return 0;
    if (take < len) return p.over = true, 0;
    return len;
}

// Appends line to list; false (the list as it was) when memory is short.
bool append(curl_slist *&list, const char *line) {
    curl_slist *longer = curl_slist_append(list, line);
    return longer && (list = longer);
}

// The stream's headers as lines, and the library's User-Agent when the
// stream names none; "Authorization" and "Cookie" only while at the stream's
// origin; a line that cannot be formed (a control byte, too long) is left
// out, as the transports leave it out.
bool add_lines(Probe &p) {
    bool agent = false;
    char line[vqc::kMaxHeaderLine + 1];
    for (const auto &[name, value] : p.stream.headers) {
        if (!p.at_origin && vqc::private_header(name)) continue;
        if (quorvex_header_line(name.c_str(), value.c_str(), line, sizeof line) != 0) continue;
        agent = agent || vq_ieq(name, "User-Agent");
        if (!append(p.lines, line)) return false;
    }
    return agent || append(p.lines, kUserAgent);
}

// HTTP/1.1 over http and https only, redirects judged here, certificates
// checked against the system's store, every wait within the probe's time.
// A probe that times out while its name is still being resolved is left to
// the resolver's thread rather than waited for (CURLOPT_QUICK_EXIT): a name
// server that does not answer must not hold up the other probes.
CURLcode set_up(Probe &p, uint64_t now_ms) {
    long left = static_cast<long>(std::max<uint64_t>(p.deadline_ms - std::min(now_ms, p.deadline_ms), 1));
    quorvex_curl_options o{p.easy};
    o.set(CURLOPT_CURLU, p.url)
        .set(CURLOPT_PROTOCOLS_STR, "http,https")
        .set(CURLOPT_FOLLOWLOCATION, 0L)
        .set(CURLOPT_NOSIGNAL, 1L)
        .set(CURLOPT_QUICK_EXIT, 1L)
        .set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1))
        .set(CURLOPT_SSL_VERIFYPEER, 1L)
        .set(CURLOPT_SSL_VERIFYHOST, 2L)
        .set(CURLOPT_HTTPHEADER, p.lines)
        .set(CURLOPT_TIMEOUT_MS, left)
        .set(CURLOPT_CONNECTTIMEOUT_MS, left)
        .set(CURLOPT_HEADERFUNCTION, on_head)
        .set(CURLOPT_HEADERDATA, &p)
        .set(CURLOPT_WRITEFUNCTION, on_body)
        .set(CURLOPT_WRITEDATA, &p);
    if (p.at_origin && p.credentials.user)
        o.set(CURLOPT_USERNAME, p.credentials.user)
            .set(CURLOPT_PASSWORD, p.credentials.password ? p.credentials.password : "")
            .set(CURLOPT_HTTPAUTH, static_cast<unsigned long>(CURLAUTH_DIGEST | CURLAUTH_BASIC));
    return o.rc;
}

void release_request(Probe &p) {
    curl_easy_cleanup(p.easy);
    curl_url_cleanup(p.url);
    curl_slist_free_all(p.lines);
    p.easy = nullptr;
    p.url = nullptr;
    p.lines = nullptr;
}

class Run {
public:
    Run(size_t count, const ProbeLimits &limits, const NextStream &next, const OnVerdict &done)
        : count_(count), limits_(limits), next_(next), done_(done), pool_(static_cast<size_t>(limits.jobs)) {}

    ~Run() {
        for (Probe &p : pool_) {
            if (p.easy) curl_multi_remove_handle(multi_, p.easy);
            release_request(p);
            vqc::credentials_clear(&p.credentials);
        }
        curl_multi_cleanup(multi_);
    }

    std::string go() {
        if (CURLcode rc = quorvex_curl_global_init(); rc != CURLE_OK) return curl_easy_strerror(rc);
        if (!(multi_ = curl_multi_init())) return "libcurl could not start";
        for (Probe &p : pool_) start_next(p);
        while (busy_ > 0) {
            int running = 0;
            if (CURLMcode rc = curl_multi_perform(multi_, &running); rc != CURLM_OK) return curl_multi_strerror(rc);
            for (int left = 0; CURLMsg *m = curl_multi_info_read(multi_, &left);)
                if (m->msg == CURLMSG_DONE) answered(m->easy_handle, m->data.result);
            if (busy_ > 0) curl_multi_poll(multi_, nullptr, 0, kPollMs, nullptr);
        }
        return "";
    }

private:
    size_t count_, next_index_ = 0;
    ProbeLimits limits_;
    const NextStream &next_;
    const OnVerdict &done_;
    std::vector<Probe> pool_;
    CURLM *multi_ = nullptr;
    size_t busy_ = 0;  // probes with a request under way
    bool stopped_ = false;

    // Makes p the probe of the next stream; false when none is left.
    bool take_next(Probe &p) {
        if (stopped_ || next_index_ >= count_) return false;
        p.stream = Stream{};
        p.index = next_index_++;
        if (!next_(p.index, p.stream)) return stopped_ = true, false;
        p.start_ms = vqc::vqiptv_now_ms();
        p.deadline_ms = p.start_ms + limits_.timeout_ms;
        p.max_bytes = limits_.max_bytes;
        p.at = p.stream.url;
        p.phase = Probe::Phase::stream;
        p.requests = 0;
        p.read = 0;
        p.at_origin = true;
        p.encrypted = false;
        return true;
    }

    // Starts probes in p until one has a request under way or none is left;
    // a stream that is not http(s) is reported unprobed.
    void start_next(Probe &p) {
        while (take_next(p)) {
            if (!vqc::vqiptv_url_is_http(p.at.c_str())) {
                finish(p, {Cause::unsupported_scheme, 0, 0});
                continue;
            }
            if (vqc::credentials_of(p.stream.url.c_str(), &p.credentials) != 0) throw std::bad_alloc();
            if (CURLcode rc = send(p); rc == CURLE_OK || pursue(p, rc, 0)) {
                ++busy_;
                return;
            }
        }
    }

    // Puts p's next request under way; CURLE_OK, or why it could not go.
    CURLcode send(Probe &p) {
        ++p.requests;
        p.at_origin = p.at_origin && vqc::same_origin(p.at, p.stream.url);
        p.kept.clear();
        p.sniffed = 0;
        p.kind = Sniffed::undecided;
        p.located = p.over = p.media = false;
        if (!(p.easy = curl_easy_init()) || !add_lines(p)) throw std::bad_alloc();
        CURLUcode bad = quorvex_curl_parse_url(p.at.c_str(), &p.url);
        CURLcode rc = bad == CURLUE_OK ? set_up(p, vqc::vqiptv_now_ms()) : CURLE_URL_MALFORMAT;
        if (bad == CURLUE_OUT_OF_MEMORY || rc == CURLE_OUT_OF_MEMORY) throw std::bad_alloc();
        if (rc == CURLE_OK && curl_multi_add_handle(multi_, p.easy) != CURLM_OK) throw std::bad_alloc();
        if (rc != CURLE_OK) release_request(p);
        return rc;
    }

    // Judges answers and sends p's next requests until one is under way
    // (true) or p has its verdict, reported (false).
    bool pursue(Probe &p, CURLcode rc, long status) {
        for (;;) {
            Next next = judge(p, rc, status);
            if (!next.done && vqc::vqiptv_now_ms() >= p.deadline_ms) next = {true, {Cause::timeout, 0, 0}};
            if (next.done) return finish(p, next.verdict), false;
            if ((rc = send(p)) == CURLE_OK) return true;
            status = 0;
        }
    }

    void answered(CURL *easy, CURLcode rc) {
        auto p = std::find_if(pool_.begin(), pool_.end(), [&](const Probe &q) { return q.easy == easy; });
        if (p == pool_.end()) return;
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        curl_multi_remove_handle(multi_, easy);
        release_request(*p);
        if (pursue(*p, rc, status)) return;
        --busy_;
        start_next(*p);
    }

    void finish(Probe &p, const Verdict &v) {
        vqc::credentials_clear(&p.credentials);
        done_(p.index, p.stream, v);
    }
};

}  // namespace

std::string run_probes(size_t count, const ProbeLimits &limits, const NextStream &next, const OnVerdict &done) {
    return Run(count, limits, next, done).go();
}

}  // namespace vqt
