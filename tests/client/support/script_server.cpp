#include "script_server.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {
void free_text(void *, void *p) { std::free(p); }

std::optional<std::string> text_or_null(const char *s) { return s ? std::optional<std::string>(s) : std::nullopt; }

// The library never fetches through the record's get; a host's record has one.
int unused_get(void *, const char *, char **body, int *status, char **err) {
    *body = nullptr;
    *status = 0;
    *err = strdup("get is not used by the source client");
    return -1;
}
}  // namespace

scripted_answer ok_body(std::string body, std::vector<std::pair<std::string, std::string>> headers) {
    scripted_answer a;
    a.headers = std::move(headers);
    a.pieces.push_back(std::move(body));
    return a;
}

script_server::script_server()
    : http_{32, 1, this, &script_server::request, free_text},
      ctx_{QVX_HTTP_CTX_MAGIC, 24, &http_, this},
      io_{&ctx_, unused_get, nullptr, &script_server::io_free} {}

void script_server::io_free(void *ctx, void *buf) {
    ++static_cast<script_server *>(static_cast<quorvex_http_ctx *>(ctx)->opaque)->io_frees_;
    std::free(buf);
}

void script_server::on(const std::string &url, scripted_answer answer) {
    std::lock_guard<std::mutex> g(mu_);
    for (auto &r : routes_)
        if (r.first == url) {
            r.second = std::move(answer);
            return;
        }
    routes_.emplace_back(url, std::move(answer));
}

void script_server::clear() {
    std::lock_guard<std::mutex> g(mu_);
    routes_.clear();
    seen_.clear();
}

std::vector<seen_request> script_server::requests() {
    std::lock_guard<std::mutex> g(mu_);
    return seen_;
}

std::string script_server::last_header(const std::string &name) {
    std::lock_guard<std::mutex> g(mu_);
    if (seen_.empty()) return "";
    for (const auto &line : seen_.back().headers)
        if (line.rfind(name + ": ", 0) == 0) return line.substr(name.size() + 2);
    return "";
}

int script_server::request(void *ctx, const quorvex_http_req *req, int *status, char **err) {
    return static_cast<script_server *>(ctx)->answer(req, status, err);
}

int script_server::answer(const quorvex_http_req *req, int *status, char **err) {
    *status = 0;
    *err = nullptr;
    scripted_answer a;
    a.status = 404;
    {
        std::lock_guard<std::mutex> g(mu_);
        seen_request s{req->url,   {}, req->timeout_ms, req->connect_timeout_ms, req->flags, text_or_null(req->username),
                       text_or_null(req->password)};
        for (uint64_t i = 0; i < req->header_count; ++i) s.headers.emplace_back(req->headers[i]);
        seen_.push_back(std::move(s));
        for (const auto &r : routes_)
            if (r.first == req->url) a = r.second;
    }
    if (a.failure) {
        *err = a.failure->empty() ? nullptr : strdup(a.failure->c_str());
        return -1;
    }
    *status = a.status;
    std::string code = std::to_string(a.status);
    if (req->on_header && req->on_header(req->user, ":status", code.c_str())) return 0;
    for (const auto &h : a.headers)
        if (req->on_header && req->on_header(req->user, h.first.c_str(), h.second.c_str())) return 0;
    for (int k = 0; k < a.repeat; ++k)
        for (const auto &p : a.pieces)
            if (req->on_body) {
                std::this_thread::sleep_for(std::chrono::milliseconds(a.pause_ms));
                if (req->on_body(req->user, p.data(), p.size())) return 0;
                body_taken_ += p.size();
            }
    return 0;
}
