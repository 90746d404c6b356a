// Validation of a source: proof that its playlist can be fetched and has
// channels, answered with the completed settings the host is to store.
#include <cstdio>

#include "platform/platform.h"
#include "source_client/model/channel_model.h"
#include "source_client/ops/operations.h"
#include "source_client/ops/results.h"
#include "source_client/ops/settings.h"
#include "source_client/util/message.h"

namespace vqc {

namespace {

using vqjson::Value;

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

}  // namespace vqc
