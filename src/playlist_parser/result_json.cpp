// The whole parse result as one compact JSON document. A value that cannot be
// built for lack of memory is left out and building goes on with the next.
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "common/alloc.h"
#include "common/json.h"
#include "common/utf8.h"
#include "playlist_parser/state.h"
#include "playlist_parser/vqplp.h"

using namespace vqplp;
using vqjson::Doc;
using vqjson::Value;

namespace {

using Alloc = Doc::AllocatorType;

// Texts are copied as the decoder took them, which lets an overlong form or
// an encoded surrogate through; the writer refuses those, so such a text is
// written with U+FFFD in place of each byte that starts no well-formed
// sequence, as the channel model repairs its strings.
Value text(const char *s, Doc &doc) {
    if (!s) return vqjson::str("", 0, doc);
    size_t n = std::strlen(s);
    const auto *bytes = reinterpret_cast<const unsigned char *>(s);
    if (vq_utf8_valid_prefix(bytes, n) == n) return vqjson::str(s, n, doc);
    // A repair writes at most three bytes for one; a text it would take past
    // what a JSON string holds is left out like one memory cannot hold.
    if (n > vqjson::kMaxTextBytes / 3) throw std::bad_alloc();
    std::unique_ptr<char, decltype(&vq_free)> repaired(static_cast<char *>(vq_malloc(3 * n)), vq_free);
    if (!repaired) throw std::bad_alloc();
    return vqjson::str(repaired.get(), vq_utf8_copy_repaired(repaired.get(), bytes, n), doc);
}

void add(Value &obj, const char *key, Value &&v, Doc &doc) {
    obj.AddMember(rapidjson::StringRef(key), v, doc.GetAllocator());
}

Value attrs_of(const Item &it, Doc &doc) {
    Value obj(rapidjson::kObjectType);
    for (int32_t a = 0; a < it.attr_count; ++a) {
        const Attr &at = g_vq.attrs[it.attr_first + static_cast<uint32_t>(a)];
        if (at.key == kNoString || at.value == kNoString) continue;
        Value key = text(arena_str(at.key), doc);
        Value val = text(arena_str(at.value), doc);
        obj.AddMember(key, val, doc.GetAllocator());
    }
    return obj;
}

Value item_of(const Item &it, Doc &doc) {
    Value obj(rapidjson::kObjectType);
    add(obj, "title", text(arena_str(it.title), doc), doc);
    add(obj, "location", text(arena_str(it.location), doc), doc);
    add(obj, "duration_ms", Value(it.duration_ms), doc);
    if (it.release_date != 0) add(obj, "release_date", Value(it.release_date), doc);
    if (it.attr_count > 0) add(obj, "attrs", attrs_of(it, doc), doc);
    return obj;
}

Value index_of(const CueTime &c, Doc &doc) {
    Value obj(rapidjson::kObjectType);
    int64_t frames = total_frames(c);
    add(obj, "n", Value(c.number), doc);
    add(obj, "frames", Value(frames), doc);
    add(obj, "ms", Value(static_cast<int32_t>(frames * 1000 / 75)), doc);
    return obj;
}

Value track_of(const CueTrack &t, Doc &doc) {
    Value obj(rapidjson::kObjectType);
    add(obj, "number", Value(t.number), doc);
    if (t.title != kNoString) add(obj, "title", text(arena_str(t.title), doc), doc);
    if (t.file != kNoString) add(obj, "file", text(arena_str(t.file), doc), doc);
    Value indices(rapidjson::kArrayType);
    for (int32_t k = 0; k < t.index_count; ++k)
        vqjson::build([&] { indices.PushBack(index_of(g_vq.indices[t.index_first + k], doc), doc.GetAllocator()); });
    add(obj, "indices", std::move(indices), doc);
    return obj;
}

Value cue_of(Doc &doc) {
    Value obj(rapidjson::kObjectType);
    if (g_vq.cue_meta[kCueTitle] != kNoString) add(obj, "title", text(arena_str(g_vq.cue_meta[kCueTitle]), doc), doc);
    if (g_vq.cue_meta[kCuePerformer] != kNoString)
        add(obj, "performer", text(arena_str(g_vq.cue_meta[kCuePerformer]), doc), doc);
    Value tracks(rapidjson::kArrayType);
    for (int32_t i = 0; i < g_vq.track_count; ++i)
        vqjson::build([&] { tracks.PushBack(track_of(g_vq.tracks[i], doc), doc.GetAllocator()); });
    add(obj, "tracks", std::move(tracks), doc);
    return obj;
}

// Warning texts in order; one whose copy failed (null) is skipped.
Value warnings_of(Doc &doc) {
    Value list(rapidjson::kArrayType);
    for (int32_t i = 0; i < g_vq.warning_count; ++i) {
        const char *w = g_vq.warnings[i];
        if (w) vqjson::build([&] { list.PushBack(text(w, doc), doc.GetAllocator()); });
    }
    return list;
}

void build_root(Doc &doc) {
    doc.SetObject();
    add(doc, "format", vqjson::str(vqplp_format_name(g_vq.detected_format), doc), doc);
    add(doc, "item_count", Value(g_vq.item_count), doc);
    add(doc, "imdb_date_playlist", Value(g_vq.imdb_date_playlist != 0), doc);
    add(doc, "items", Value(rapidjson::kArrayType), doc);
    Value &items = doc["items"];
    for (int32_t i = 0; i < g_vq.item_count; ++i)
        vqjson::build([&] { items.PushBack(item_of(g_vq.items[i], doc), doc.GetAllocator()); });
    if (g_vq.detected_format == VQPLP_FMT_CUE) vqjson::build([&] { add(doc, "cue", cue_of(doc), doc); });
    if (g_vq.warning_count > 0) vqjson::build([&] { add(doc, "warnings", warnings_of(doc), doc); });
}

}  // namespace

const char *vqplp_result_json() {
    vq_free(g_vq.result_json);
    g_vq.result_json = nullptr;
    std::optional<Doc> doc;
    if (vqjson::build([&] { doc.emplace(); }) != vqjson::kOk) return "{}";
    if (vqjson::build([&] { build_root(*doc); }) != vqjson::kOk) return "{}";
    char *out = nullptr;
    size_t len = 0;
    if (vqjson::write_compact(*doc, &out, &len) != vqjson::kOk) return "{}";
    g_vq.result_json = out;
    return out;
}
