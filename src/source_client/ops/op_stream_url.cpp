// Turning an entry into the URL to play and the HTTP headers the stream wants:
// by channel identifier through the cached playlist, or directly from an
// absolute URL the entry carries (no settings, no network). Either URL may
// carry further headers after a "|" (header_suffix.h).
#include <cstring>
#include <memory>
#include <string_view>

#include "common/ascii.h"
#include "source_client/model/channel_model.h"
#include "source_client/ops/header_suffix.h"
#include "source_client/ops/operations.h"
#include "source_client/ops/results.h"
#include "source_client/ops/settings.h"
#include "source_client/util/limits.h"
#include "source_client/util/message.h"
#include "source_client/util/slot_hash.h"
#include "source_client/util/url_util.h"

namespace vqc {

namespace {

using vqjson::Value;
using sv = std::string_view;

constexpr const char *kNoId = "entry id not found";

// Exactly 16 hexadecimal digits, most significant first.
bool parse_id(const Value &v, uint64_t *id) {
    if (v.GetStringLength() != 16) return false;
    uint64_t n = 0;
    for (char c : sv(v.GetString(), 16)) {
        int d = vq_hex_digit(c);
        if (d < 0) return false;
        n = n << 4 | static_cast<uint64_t>(d);
    }
    *id = n;
    return true;
}

const Value *string_member(const Value &obj, const char *key) {
    const Value *v = vqjson::find_first(obj, key);
    return v && v->IsString() ? v : nullptr;
}

// An escaped NUL inside the string would hide the rest of it from the check.
bool absolute(const Value &v) {
    return std::strlen(v.GetString()) == v.GetStringLength() && vqiptv_uri_is_absolute(v.GetString());
}

Value text(sv s, vqjson::Doc &doc) { return vqjson::str(s.data(), s.size(), doc); }

// A decoded copy of a suffix value in the document's pool, or null when a
// player must not be handed it.
const char *decoded(sv value, vqjson::Doc &doc, size_t *len) {
    char *buf = static_cast<char *>(doc.GetAllocator().Malloc(value.size() + 1));
    *len = percent_decode(value, buf);
    buf[*len] = '\0';
    return sendable_header_value(sv(buf, *len)) ? buf : nullptr;
}

// The first sendable value the suffix gives a header of this kind, or "".
sv suffix_value(sv pairs, header_kind kind, vqjson::Doc &doc) {
    header_pair pair;
    size_t len = 0;
    while (next_header_pair(pairs, &pair))
        if (kind_of_header(pair.name) == kind)
            if (const char *value = decoded(pair.value, doc, &len)) return sv(value, len);
    return {};
}

// The names of the headers taken so far, told apart without regard to case:
// open addressing over views of the suffix's text, at most half full, keyed
// (the suffix is the playlist's), in the document's pool (freed with it; a
// shortage throws as the document's own allocations do).
class name_set {
public:
    explicit name_set(vqjson::Pool &pool) : pool_(pool) {}
    bool has(sv name) const { return count_ && !slot_for(slots_, mask_, name)->empty(); }
    // name must not be in the set yet.
    void add(sv name) {
        if (2 * (count_ + 1) > mask_ + 1) grow();
        *slot_for(slots_, mask_, name) = name;
        ++count_;
    }

private:
    static sv *slot_for(sv *slots, size_t mask, sv name) {
        size_t s = slot_hash_folded(slot_key_once(), name) & mask;
        while (!slots[s].empty() && !vq_ieq(slots[s], name)) s = (s + 1) & mask;
        return &slots[s];
    }
    void grow() {
        size_t n = slots_ ? 2 * (mask_ + 1) : 16;
        sv *bigger = static_cast<sv *>(pool_.Malloc(n * sizeof(sv)));
        std::uninitialized_fill_n(bigger, n, sv());
        for (size_t i = 0; slots_ && i <= mask_; i++)
            if (!slots_[i].empty()) *slot_for(bigger, n - 1, slots_[i]) = slots_[i];
        slots_ = bigger;
        mask_ = n - 1;
    }
    vqjson::Pool &pool_;
    sv *slots_ = nullptr;
    size_t mask_ = 0, count_ = 0;
};

// The suffix's other headers, in the order written; a name taken before loses
// (the user agent and referrer are of other kinds and never clash).
void add_other_headers(sv pairs, Value &headers, vqjson::Doc &doc) {
    header_pair pair;
    size_t len = 0;
    name_set taken(doc.GetAllocator());
    while (next_header_pair(pairs, &pair)) {
        if (kind_of_header(pair.name) != header_kind::other || taken.has(pair.name)) continue;
        if (const char *value = decoded(pair.value, doc, &len)) {
            headers.AddMember(text(pair.name, doc), vqjson::str(value, len, doc), doc.GetAllocator());
            taken.add(pair.name);
        }
    }
}

// The playlist's own user agent and referrer win over a header suffix's.
int32_t answer(sv location, sv user_agent, sv referrer, char *out, int32_t out_len) {
    header_suffix target = split_header_suffix(location);
    vqjson::Doc doc(rapidjson::kObjectType);
    auto fill = [&] {
        auto &a = doc.GetAllocator();
        if (user_agent.empty()) user_agent = suffix_value(target.pairs, header_kind::user_agent, doc);
        if (referrer.empty()) referrer = suffix_value(target.pairs, header_kind::referer, doc);
        Value headers(rapidjson::kObjectType);
        if (!user_agent.empty()) headers.AddMember("User-Agent", text(user_agent, doc), a);
        if (!referrer.empty()) headers.AddMember("Referer", text(referrer, doc), a);
        add_other_headers(target.pairs, headers, doc);
        doc.AddMember("url", text(target.url, doc), a);
        doc.AddMember("headers", headers, a);
    };
    if (vqjson::build(fill) != vqjson::kOk) return fail(QVX_E_CONTENT, out, out_len, "out of memory");
    return emit_doc(doc, out, out_len);
}

int32_t by_id(const quorvex_io *io, const char *settings_json, const Value &id_text, char *out, int32_t out_len) {
    uint64_t id = 0;
    if (!parse_id(id_text, &id)) return fail(QVX_E_NOT_FOUND, out, out_len, "%s", kNoId);
    char msg[kMsgSize];
    settings s;
    playlist *pl = nullptr;
    if (int rc = open_playlist(io, settings_json, s, 0, &pl, msg)) return fail(rc, out, out_len, "%s", msg);
    for (int32_t i = 0; i < pl->channel_count; ++i) {
        const channel &c = pl->channels[i];
        if (c.id != id) continue;
        const channel_details &d = details_of(pl, c);
        return answer(pl_text(pl, c.location), pl_text(pl, d.user_agent), pl_text(pl, d.referrer), out, out_len);
    }
    return fail(QVX_E_NOT_FOUND, out, out_len, "%s", kNoId);
}

int32_t direct(const Value &entry, char *out, int32_t out_len) {
    const char *key = "stream_url";
    const Value *url = string_member(entry, key);
    if (!url) {
        key = "url";
        url = string_member(entry, key);
    }
    if (url && url->GetStringLength() > kMaxUrlBytes)
        return fail(QVX_E_INVALID, out, out_len, "%s is too long: %u bytes, at most %u", key, url->GetStringLength(),
                    static_cast<unsigned>(kMaxUrlBytes));
    if (!url || !absolute(*url))
        return fail(QVX_E_INVALID, out, out_len, "entry_json has neither id nor an absolute stream_url");
    return answer(sv(url->GetString(), url->GetStringLength()), "", "", out, out_len);
}

}  // namespace

int32_t op_stream_url(const quorvex_io *io, const char *settings_json, const char *entry_json, char *out,
                      int32_t out_len) {
    vqjson::Doc entry;
    vqjson::Status st = entry_json ? vqjson::parse_strict(entry, entry_json) : vqjson::kInvalid;
    if (st == vqjson::kNoMemory) return fail(QVX_E_CONTENT, out, out_len, "out of memory");
    if (st != vqjson::kOk || !entry.IsObject())
        return fail(QVX_E_INVALID, out, out_len, "entry_json is not a JSON object");
    const Value *id = vqjson::find_first(entry, "id");
    if (id && id->IsString()) return by_id(io, settings_json, *id, out, out_len);
    return direct(entry, out, out_len);
}

}  // namespace vqc
