// Header lines of the libcurl transport: the caller's lines filtered and
// formatted for libcurl on the way out; on the way in, the headers of each
// response held until its body starts, so that only the final response (not
// a 401 answered during authentication, not a 100 Continue) reaches the sink.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/ascii.h"
#include "http/buf.h"
#include "http/curl/curl_work.h"
#include "http/headers.h"

namespace {

constexpr size_t k_line_max = 2048;
constexpr size_t k_name_max = 127;

// Lines libcurl would otherwise add on its own: an empty "Name:" line only
// removes libcurl's header and is never sent itself.
constexpr const char *k_suppressed[] = {"Accept:", "Expect:", "Content-Type:"};

// The transport or libcurl supplies these itself.
bool dropped(std::string_view name, bool has_user) {
    for (std::string_view own : {"host", "content-length", "accept-encoding"})
        if (vq_ieq(name, own)) return true;
    return has_user && vq_ieq(name, "authorization");
}

// Formats one caller line into out; false when it is not to be sent.
bool format_line(const char *entry, bool has_user, char *out) {
    const char *colon = std::strchr(entry, ':');
    if (!colon) return false;
    size_t n = static_cast<size_t>(colon - entry);
    if (n == 0 || n > k_name_max) return false;
    char name[k_name_max + 1];
    std::memcpy(name, entry, n);
    name[n] = '\0';
    if (dropped({name, n}, has_user)) return false;
    const char *value = colon + 1;
    while (*value == ' ') ++value;
    if (quorvex_header_line(name, value, out, k_line_max) != 0) return false;
    if (*value == '\0') {
        // libcurl reads "Name:" as "remove this header" and sends "Name;" as
        // an empty one.
        out[n] = ';';
        out[n + 1] = '\0';
    }
    return true;
}

bool append(curl_slist **list, const char *line) {
    curl_slist *next = curl_slist_append(*list, line);
    if (next) *list = next;
    return next != nullptr;
}

bool append_caller_lines(curl_work *w) {
    const quorvex_http_req *req = w->req;
    char line[k_line_max];
    for (uint64_t i = 0; req->headers && i < req->header_count; ++i) {
        const char *entry = req->headers[i];
        if (entry && format_line(entry, req->username != nullptr, line) && !append(&w->headers, line)) return false;
    }
    return true;
}

bool append_length(curl_work *w) {
    const quorvex_http_req *req = w->req;
    bool body = quorvex_curl_sends_body(req);
    bool empty_put = std::strcmp(req->method, "PUT") == 0 || std::strcmp(req->method, "POST") == 0;
    if (!body && !empty_put) return true;
    char line[48];
    std::snprintf(line, sizeof line, "Content-Length: %" PRIu64, body ? req->body_len : uint64_t{0});
    return append(&w->headers, line);
}

// ---- response side -------------------------------------------------------------

std::string_view chomp(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    return line;
}

// The three digits after the version, as libcurl reads them.
long status_of(std::string_view line) {
    size_t at = line.find(' ');
    long status = 0;
    for (size_t i = at + 1; at != line.npos && i < line.size() && i <= at + 3; ++i) {
        if (line[i] < '0' || line[i] > '9') break;
        status = status * 10 + (line[i] - '0');
    }
    return status;
}

void start_response(curl_work *w, std::string_view line) {
    w->pairs.len = 0;
    if (w->pairs.data) w->pairs.data[0] = '\0';
    w->status = status_of(line);
    w->unauthorized += w->status == 401;
    w->in_head = true;
}

// Name before the first ':', value after it past spaces and tabs, trailing
// blanks kept; lines without either are dropped. -1 when memory is short.
int keep_pair(curl_work *w, std::string_view line) {
    size_t colon = line.find(':');
    if (colon == line.npos || colon == 0 || line.find('\0') != line.npos) return 0;
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    if (value.empty()) return 0;
    quorvex_buf *b = &w->pairs;
    if (quorvex_buf_add(b, line.data(), colon) || quorvex_buf_addc(b, '\0') ||
        quorvex_buf_add(b, value.data(), value.size()) || quorvex_buf_addc(b, '\0'))
        return -1;
    return 0;
}

int stop(curl_work *w) {
    w->stopped = true;
    return -1;
}

}  // namespace

bool quorvex_curl_sends_body(const quorvex_http_req *req) {
    return req->body && std::strcmp(req->method, "HEAD") != 0;
}

int quorvex_curl_headers(curl_work *w) {
    if (!append_caller_lines(w) || !append_length(w)) return -1;
    for (const char *line : k_suppressed)
        if (!append(&w->headers, line)) return -1;
    return 0;
}

size_t quorvex_curl_on_header(char *data, size_t size, size_t n, void *user) {
    auto *w = static_cast<curl_work *>(user);
    std::string_view line = chomp({data, size * n});
    if (line.starts_with("HTTP/")) {
        start_response(w, line);
    } else if (line.empty()) {
        w->in_head = false;  // what follows the body (trailers) is not delivered
    } else if (w->in_head && keep_pair(w, line) != 0) {
        w->oom = true;
        return 0;
    }
    return size * n;
}

size_t quorvex_curl_on_body(char *data, size_t size, size_t n, void *user) {
    auto *w = static_cast<curl_work *>(user);
    const quorvex_http_req *req = w->req;
    if (quorvex_curl_flush(w) != 0) return 0;
    if (!req->on_body || size * n == 0) return size * n;
    if (req->on_body(req->user, data, size * n) == 0) return size * n;
    stop(w);
    return 0;  // libcurl ends the transfer on a short count
}

int quorvex_curl_flush(curl_work *w) {
    if (w->delivered) return w->stopped ? -1 : 0;
    w->delivered = true;
    const quorvex_http_req *req = w->req;
    if (!req->on_header) return 0;
    char text[24];
    std::snprintf(text, sizeof text, "%ld", w->status);
    if (req->on_header(req->user, ":status", text) != 0) return stop(w);
    for (size_t at = 0; at < w->pairs.len;) {
        const char *name = w->pairs.data + at;
        const char *value = name + std::strlen(name) + 1;
        at = static_cast<size_t>(value - w->pairs.data) + std::strlen(value) + 1;
        if (req->on_header(req->user, name, value) != 0) return stop(w);
    }
    return 0;
}
