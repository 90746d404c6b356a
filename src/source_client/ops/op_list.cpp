// Listing one folder of the channel tree: the groups at the root, a group's
// channels inside it, or every channel at the root of a playlist without
// groups.
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string_view>

#include "source_client/model/channel_model.h"
#include "source_client/ops/operations.h"
#include "source_client/ops/results.h"
#include "source_client/ops/settings.h"
#include "source_client/util/message.h"

namespace vqc {

namespace {

using vqjson::Doc;
using vqjson::Value;
using sv = std::string_view;

bool is_root(const char *path) {
    return !path || !*path || std::strcmp(path, "/") == 0 || std::strcmp(path, "root") == 0;
}

// The group a path names, or -1. "/" followed by the full name finds it even
// when the name holds further slashes; so does the bare name.
int32_t find_folder(const playlist *pl, const char *path) {
    if (pl->flat) return -1;
    if (path[0] == '/') {
        int32_t g = group_find(pl, path + 1);
        if (g >= 0) return g;
    }
    return group_find(pl, path);
}

// The pieces joined in doc's pool; "id" and "path" then share one copy.
Value joined(Doc &doc, std::initializer_list<sv> pieces) {
    size_t n = 0;
    for (sv p : pieces) n += p.size();
    auto *text = static_cast<char *>(doc.GetAllocator().Malloc(n + 1));
    if (!text) throw std::bad_alloc();
    char *at = text;
    for (sv p : pieces) at = static_cast<char *>(std::memcpy(at, p.data(), p.size())) + p.size();
    *at = '\0';
    return Value(rapidjson::StringRef(text, static_cast<rapidjson::SizeType>(n)));
}

// A string that stays in the playlist until the document is written.
Value text_str(const playlist *pl, text_ref r) {
    sv s = pl_text(pl, r);
    return Value(rapidjson::StringRef(s.data(), static_cast<rapidjson::SizeType>(s.size())));
}

void add_folder(Doc &doc, const playlist *pl, const group &g) {
    auto &a = doc.GetAllocator();
    Value path = joined(doc, {"/", pl_text(pl, g.name)});
    Value e(rapidjson::kObjectType);
    e.AddMember("id", Value(path.GetString(), path.GetStringLength()), a);
    e.AddMember("name", seg_str(doc, pl_text(pl, g.name)), a);
    e.AddMember("path", path, a);
    e.AddMember("folder", true, a);
    e.AddMember("is_folder", true, a);
    e.AddMember("size", -1, a);
    e.AddMember("count", g.member_count, a);
    doc.PushBack(e, a);
}

void add_channel(Doc &doc, const playlist *pl, const channel &c) {
    auto &a = doc.GetAllocator();
    char id[17];
    std::snprintf(id, sizeof id, "%016llx", static_cast<unsigned long long>(c.id));
    sv group_name = c.group >= 0 ? pl_text(pl, pl->groups[c.group].name) : sv("", 0);
    Value path = c.group >= 0 ? joined(doc, {"/", group_name, "/", id}) : joined(doc, {"/", id});
    Value e(rapidjson::kObjectType);
    e.AddMember("id", vqjson::str(id, doc), a);
    e.AddMember("name", seg_str(doc, pl_text(pl, c.name)), a);
    e.AddMember("path", path, a);
    e.AddMember("folder", false, a);
    e.AddMember("is_folder", false, a);
    e.AddMember("size", -1, a);
    e.AddMember("group", Value(rapidjson::StringRef(group_name.data(), static_cast<rapidjson::SizeType>(group_name.size()))), a);
    const channel_details &d = details_of(pl, c);
    e.AddMember("tvg_id", text_str(pl, d.tvg_id), a);
    e.AddMember("tvg_name", text_str(pl, d.tvg_name), a);
    e.AddMember("tvg_logo", text_str(pl, d.tvg_logo), a);
    e.AddMember("stream_url", text_str(pl, c.location), a);
    doc.PushBack(e, a);
}

void add_members(Doc &doc, const playlist *pl, const group &g) {
    for (int32_t i = 0; i < g.member_count; ++i) add_channel(doc, pl, pl->channels[g.members[i]]);
}

}  // namespace

int32_t op_list(const quorvex_io *io, const char *settings_json, const char *path, char *out, int32_t out_len) {
    char msg[kMsgSize];
    playlist *pl = nullptr;
    {
        settings s;
        if (int rc = open_playlist(io, settings_json, s, 0, &pl, msg)) return fail(rc, out, out_len, "%s", msg);
    }
    const bool root = is_root(path);
    const int32_t folder = root ? -1 : find_folder(pl, path);
    if (!root && folder < 0) return fail(QVX_E_NOT_FOUND, out, out_len, "folder not found");
    Doc doc(rapidjson::kArrayType);
    auto fill = [&] {
        if (folder >= 0)
            add_members(doc, pl, pl->groups[folder]);
        else if (pl->flat)
            add_members(doc, pl, pl->ungrouped);
        else
            for (int32_t g = 0; g < pl->group_count; ++g) add_folder(doc, pl, pl->groups[g]);
    };
    if (vqjson::build(fill) != vqjson::kOk) return fail(QVX_E_CONTENT, out, out_len, "out of memory");
    return emit_doc(doc, out, out_len);
}

}  // namespace vqc
