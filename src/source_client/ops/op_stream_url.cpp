// Turning an entry into the URL to play and the HTTP headers the stream wants:
// by channel identifier through the cached playlist, or directly from an
// absolute URL the entry carries (no settings, no network). Either URL may
// carry further headers after a "|" (header_suffix.h); stream_headers.h
// weighs them against the playlist's own.
#include <cstring>
#include <string_view>

#include "common/ascii.h"
#include "source_client/model/channel_model.h"
#include "source_client/ops/header_suffix.h"
#include "source_client/ops/operations.h"
#include "source_client/ops/results.h"
#include "source_client/ops/settings.h"
#include "source_client/ops/stream_headers.h"
#include "source_client/util/limits.h"
#include "source_client/util/message.h"
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

// The answer for a location and what the playlist says of its headers.
int32_t answer(sv location, header_sources headers, char *out, int32_t out_len) {
    header_suffix target = split_header_suffix(location);
    headers.suffix_pairs = target.pairs;
    vqjson::Doc doc(rapidjson::kObjectType);
    auto fill = [&] {
        auto &a = doc.GetAllocator();
        Value h = stream_headers(headers, doc);
        doc.AddMember("url", vqjson::str(target.url.data(), target.url.size(), doc), a);
        doc.AddMember("headers", h, a);
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
    int32_t i = channel_by_id(pl, id);
    if (i < 0) return fail(QVX_E_NOT_FOUND, out, out_len, "%s", kNoId);
    header_sources headers{channel_text(pl, i, channel_field::user_agent), channel_text(pl, i, channel_field::referrer),
                           pl, header_texts_of(pl, i), {}};
    sv location = pl_text(pl, pl->channels[i].location);
    // The host asked rightly; the playlist gives a location no URL may be.
    if (location.size() > kMaxUrlBytes)
        return fail(QVX_E_CONTENT, out, out_len, "entry location is too long: %u bytes, at most %u",
                    static_cast<unsigned>(location.size()), static_cast<unsigned>(kMaxUrlBytes));
    return answer(location, headers, out, out_len);
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
    return answer(sv(url->GetString(), url->GetStringLength()), header_sources{}, out, out_len);
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
