// Resolution of a redirect's "Location" against the URL that was asked for.
// Servers send relative references ("/next.m3u", "next.m3u", "../x.m3u",
// "//cdn.example/x.m3u", "?page=2"), so plain concatenation is not enough:
// this follows RFC 3986, section 5.2. The target is written into one heap
// block sized from the two texts (each at most kMaxUrlBytes), which bounds
// every step of the resolution; the limit is applied to the result.
#include "source_client/fetch/redirect.h"

#include <cstring>
#include <memory>
#include <string_view>

#include "common/alloc.h"
#include "source_client/util/limits.h"
#include "source_client/util/url_util.h"

namespace vqc {

namespace {

using sv = std::string_view;

// The pieces of a URI reference; the fragment is already gone.
struct parts {
    sv scheme;  // without ":"
    bool has_auth = false;
    sv auth;
    sv path;
    bool has_query = false;
    sv query;  // without "?"
};

parts split(const char *text) {
    sv s(text);
    s = s.substr(0, s.find('#'));
    parts p;
    if (size_t n = scheme_len(text); n && n < s.size()) {
        p.scheme = s.substr(0, n);
        s.remove_prefix(n + 1);
    }
    if (s.starts_with("//")) {
        s.remove_prefix(2);
        size_t end = s.find_first_of("/?");
        p.has_auth = true;
        p.auth = s.substr(0, end);
        s.remove_prefix(end == sv::npos ? s.size() : end);
    }
    size_t q = s.find('?');
    p.path = s.substr(0, q);
    if (q != sv::npos) {
        p.has_query = true;
        p.query = s.substr(q + 1);
    }
    return p;
}

// The next URL as it is written into cap bytes, the NUL's included.
struct writer {
    char *buf;
    size_t cap;
    size_t len = 0;
    bool over = false;
    bool short_of_memory = false;

    void put(sv s) {
        if (over || s.size() > cap - 1 - len) {
            over = true;
            return;
        }
        std::memcpy(buf + len, s.data(), s.size());
        len += s.size();
    }
    // Drops the last path segment and the "/" before it, never below root.
    void pop_segment(size_t root) {
        while (len > root && buf[len - 1] != '/') --len;
        if (len > root) --len;
    }
};

// RFC 3986, 5.2.4: writes path without its "." and ".." segments.
void put_path(writer &w, sv in) {
    const size_t root = w.len;
    while (!in.empty()) {
        if (in.starts_with("../")) {
            in.remove_prefix(3);
        } else if (in.starts_with("./") || in.starts_with("/./")) {
            in.remove_prefix(2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.starts_with("/../") || in == "/..") {
            in = in.size() == 3 ? sv("/") : in.substr(3);
            w.pop_segment(root);
        } else if (in == "." || in == "..") {
            in = {};
        } else {
            size_t n = in.find('/', 1);
            if (n == sv::npos) n = in.size();
            w.put(in.substr(0, n));
            in.remove_prefix(n);
        }
    }
}

void put_query(writer &w, bool has, sv query) {
    if (!has) return;
    w.put("?");
    w.put(query);
}

// A path relative to the base's: everything of the base path up to its last
// "/" comes first; an authority with no path counts as the path "/".
// The dot segments are removed from the two joined, so they are joined first.
void put_merged(writer &w, const parts &base, sv rel) {
    sv dir = base.path.substr(0, base.path.rfind('/') + 1);
    if (dir.empty() && base.has_auth) dir = "/";
    const size_t n = dir.size() + rel.size();
    std::unique_ptr<char, void (*)(void *)> merged(static_cast<char *>(vq_malloc(n)), vq_free);
    if (!merged) {
        w.short_of_memory = true;
        return;
    }
    std::memcpy(merged.get(), dir.data(), dir.size());
    std::memcpy(merged.get() + dir.size(), rel.data(), rel.size());
    put_path(w, sv(merged.get(), n));
}

// The path and query of a reference without scheme or authority.
void put_relative(writer &w, const parts &base, const parts &ref) {
    if (ref.path.empty()) {
        put_path(w, base.path.empty() && base.has_auth ? sv("/") : base.path);
        put_query(w, ref.has_query || base.has_query, ref.has_query ? ref.query : base.query);
    } else {
        if (ref.path.starts_with('/'))
            put_path(w, ref.path);
        else
            put_merged(w, base, ref.path);
        put_query(w, ref.has_query, ref.query);
    }
}

// A copy of an absolute Location without its fragment.
redirect_outcome take_absolute(const char *location, char **next) {
    *next = vq_strndup(location, std::strcspn(location, "#"));
    return *next ? redirect_outcome::followed : redirect_outcome::out_of_memory;
}

void put_reference(writer &w, const parts &base, const parts &ref) {
    w.put(base.scheme);
    w.put(":");
    if (ref.has_auth) {
        w.put("//");
        w.put(ref.auth);
        put_path(w, ref.path);
        put_query(w, ref.has_query, ref.query);
        return;
    }
    if (base.has_auth) {
        w.put("//");
        w.put(base.auth);
    }
    put_relative(w, base, ref);
}

redirect_outcome verdict(const writer &w) {
    if (w.short_of_memory) return redirect_outcome::out_of_memory;
    if (w.over || w.len > kMaxUrlBytes) return redirect_outcome::too_long;
    return redirect_outcome::followed;
}

// Hands the written target over, or releases it.
redirect_outcome finish(writer &w, char **next) {
    redirect_outcome out = verdict(w);
    if (out != redirect_outcome::followed) {
        vq_free(w.buf);
        return out;
    }
    w.buf[w.len] = '\0';
    *next = w.buf;
    return out;
}

}  // namespace

redirect_outcome redirect_target(const char *base_url, const char *location, char **next) {
    *next = nullptr;
    const size_t loc_len = location ? std::strlen(location) : 0;
    if (loc_len == 0 || !base_url) return redirect_outcome::not_followed;
    if (loc_len > kMaxUrlBytes) return redirect_outcome::too_long;
    if (size_t slen = scheme_len(location)) {
        // An absolute URL is taken as it is; other schemes are not fetched.
        if (std::strncmp(location + slen, "://", 3) != 0) return redirect_outcome::not_followed;
        return take_absolute(location, next);
    }
    const size_t base_len = std::strlen(base_url);
    if (base_len > kMaxUrlBytes) return redirect_outcome::too_long;
    parts base = split(base_url);
    if (base.scheme.empty()) return redirect_outcome::not_followed;
    // The target is never longer than the two texts and a "/" put in for an
    // empty path; neither is any stage of it.
    const size_t cap = base_len + loc_len + 2;
    writer w{static_cast<char *>(vq_malloc(cap)), cap};
    if (!w.buf) return redirect_outcome::out_of_memory;
    put_reference(w, base, split(location));
    return finish(w, next);
}

}  // namespace vqc
