// Reading the settings document, and validation of a source: proof that its
// playlist can be fetched and has channels, answered with the completed
// settings the host is to store.
#include "source_client/settings.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "source_client/cache.h"
#include "source_client/channel_model.h"
#include "source_client/fetch.h"
#include "source_client/operations.h"
#include "source_client/results.h"
#include "source_client/url_util.h"

namespace {

using vqjson::Value;

__attribute__((format(printf, 3, 4))) int say(char *msg, int status, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(msg, kMsgSize, fmt, ap);
    va_end(ap);
    return status;
}

// The "URL" member: the default when absent, null or empty; -8 when it is not
// a string, is longer than kMaxUrlBytes or is no absolute http(s) URL.
int pick_url(settings &s, char *msg) {
    const Value *v = vqjson::find_first(s.doc, "URL");
    if (v && !v->IsNull() && !v->IsString()) return say(msg, QVX_E_INVALID, "URL is not a string");
    s.used_default = !v || v->IsNull() || v->GetStringLength() == 0;
    if (!s.used_default && v->GetStringLength() > kMaxUrlBytes)
        return say(msg, QVX_E_INVALID, "URL is too long: %u bytes, at most %u", v->GetStringLength(),
                   static_cast<unsigned>(kMaxUrlBytes));
    s.url = s.used_default ? kDefaultPlaylistUrl : v->GetString();
    // An escaped NUL would silently cut the URL that is fetched.
    bool whole = s.used_default || std::strlen(s.url) == v->GetStringLength();
    if (whole && vqiptv_url_is_http(s.url)) return 0;
    char shown[512];
    vqiptv_redact_url(s.url, shown, sizeof shown);
    return say(msg, QVX_E_INVALID, "URL is not an absolute http(s) URL: %s", shown);
}

// A new identifier is needed unless "ID" holds a non-empty string or a value
// of another type, which is kept as it is.
bool needs_id(const Value &doc) {
    const Value *id = vqjson::find_first(doc, "ID");
    return !id || id->IsNull() || (id->IsString() && id->GetStringLength() == 0);
}

// A random version-4 UUID in its 36-character lower-case form.
void new_source_id(char out[37]) {
    unsigned char b[16];
    for (int i = 0; i < 4; ++i) {
        uint32_t word = 0;  // a failed draw contributes zero bytes
        vqp::secure_random(&word, sizeof word);
        for (int k = 0; k < 4; ++k) b[4 * i + k] = static_cast<unsigned char>(word >> (8 * k));
    }
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
    std::snprintf(out, 37, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0], b[1],
                  b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
}

// Replaces every member named key by one holding value, at the end.
void put_last(vqjson::Doc &doc, const char *key, Value value) {
    vqjson::erase_members(doc, key);
    doc.AddMember(rapidjson::StringRef(key), value, doc.GetAllocator());
}

// The caller's settings with "RuntimeType", then the default "URL" and a new
// "ID" where needed, at the end. Throws std::bad_alloc.
void complete(vqjson::Doc &out, const settings &s, const char *id) {
    out.CopyFrom(s.doc, out.GetAllocator());
    put_last(out, "RuntimeType", Value(rapidjson::StringRef("IPTV")));
    if (s.used_default) put_last(out, "URL", Value(rapidjson::StringRef(kDefaultPlaylistUrl)));
    if (id) put_last(out, "ID", vqjson::str(id, out));
}

}  // namespace

int read_settings(const char *settings_json, settings &s, char *msg) {
    s.url = nullptr;
    s.used_default = 0;
    if (!settings_json) return say(msg, QVX_E_INVALID, "settings_json is NULL");
    vqjson::Status st = vqjson::parse_strict(s.doc, settings_json);
    if (st == vqjson::kNoMemory) return say(msg, QVX_E_CONTENT, "out of memory");
    if (st != vqjson::kOk || !s.doc.IsObject())
        return say(msg, QVX_E_INVALID, "settings_json is not a JSON object");
    return pick_url(s, msg);
}

int open_playlist(const quorvex_io *io, const char *settings_json, settings &s, int refresh, playlist **pl,
                  char *msg) {
    *pl = nullptr;
    if (int rc = read_settings(settings_json, s, msg)) return rc;
    if (!io_usable(io)) return say(msg, QVX_E_INVALID, "%s", kNoBackend);
    return ensure(io, s.url, refresh, pl, msg);
}

int32_t op_validate(const quorvex_io *io, const char *settings_json, char *out, int32_t out_len) {
    char msg[kMsgSize];
    settings s;
    playlist *pl = nullptr;
    // Validation always asks the server again, conditionally where it can.
    if (int rc = open_playlist(io, settings_json, s, 1, &pl, msg)) return fail(rc, out, out_len, "%s", msg);
    if (pl->channel_count == 0)
        return fail(QVX_E_CONTENT, out, out_len, "playlist has no playable entries (%d skipped)", pl->skipped);
    char id[37];
    bool fresh_id = needs_id(s.doc);
    if (fresh_id) new_source_id(id);
    vqjson::Doc answer;
    if (vqjson::build([&] { complete(answer, s, fresh_id ? id : nullptr); }) != vqjson::kOk)
        return fail(QVX_E_CONTENT, out, out_len, "out of memory");
    return emit_doc(answer, out, out_len);
}
