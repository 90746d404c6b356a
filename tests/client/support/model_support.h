// Helpers shared by the channel-model and cache tests: converting a text, and
// describing a converted playlist compactly enough to compare in one line.
#pragma once
#include <string>

#include "alloc_sweep.h"
#include "source_client/model/channel_model.h"
#include "source_client/ops/results.h"
#include "source_client/util/message.h"
#include "source_client/util/url_util.h"

// The model and cache tests read the client's names as its own sources do.
using namespace vqc;

struct converted {
    int status = 0;
    std::string err;
    playlist *p = nullptr;
    converted() = default;
    converted(const converted &) = delete;
    converted &operator=(const converted &) = delete;
    ~converted() { playlist_free(p); }
};

// Runs parse_body over a heap copy of bytes, as the fetch would hand it over;
// fail_nth > 0 makes that allocation of the conversion fail.
inline void convert_bytes(const std::string &bytes, converted *c, size_t err_size = kMsgSize, long fail_nth = 0) {
    char *body = static_cast<char *>(vq_malloc(bytes.size() + 1));
    if (body) {
        bytes.copy(body, bytes.size());
        body[bytes.size()] = '\0';
    }
    std::string err(err_size, '\0');
    vqp::Guard hold(g_lock);
    if (fail_nth) vq_alloc_fail_nth(fail_nth);
    c->status = parse_body(nullptr, "http://host/list.m3u", body, body ? bytes.size() : 0, &c->p, err.data(),
                           err.size());
    c->err = err.c_str();
}

inline std::string str_at(const playlist *p, uint32_t off) { return off ? pl_str(p, off) : "-"; }
inline std::string str_of(std::string_view s) { return s.empty() ? "-" : std::string(s); }
inline std::string str_at(const playlist *p, text_ref r) { return str_of(pl_text(p, r)); }

// "name@group" per channel in playlist order, e.g. "A@News B@- C@Other".
inline std::string channel_groups(const playlist *p) {
    std::string s;
    for (int32_t i = 0; i < p->channel_count; i++) {
        if (i) s += ' ';
        s += channel_text(p, i, channel_field::name);
        s += '@';
        s += p->flat ? "-" : str_at(p, p->groups[p->group_of[i]].name);
    }
    return s;
}

// "News[0,1] Other[2]" for a grouped playlist, "[0,1,2]" for a flat one.
inline std::string listing(const playlist *p) {
    auto list = [&](const group &g) {
        std::string s = "[";
        for (int32_t m = 0; m < g.member_count; m++) {
            if (m) s += ',';
            s += std::to_string(members_of(p, g)[m]);
        }
        return s + "]";
    };
    if (p->flat) return list(p->ungrouped);
    std::string s;
    for (int32_t g = 0; g < p->group_count; g++) {
        if (g) s += ' ';
        s += str_at(p, p->groups[g].name);
        s += list(p->groups[g]);
    }
    return s;
}

