// Listing one folder of the channel tree: the groups at the root, a group's
// channels inside it, or every channel at the root of a playlist without
// groups. The document is written straight into its text (no tree of values
// first): what every entry of a folder shares is written once per listing,
// and the root of a cached playlist is written once and kept with it.
#include <array>
#include <cstring>
#include <string_view>

#include "common/ascii.h"
#include "common/json_text.h"
#include "source_client/model/channel_model.h"
#include "source_client/ops/operations.h"
#include "source_client/ops/results.h"
#include "source_client/ops/settings.h"
#include "source_client/util/message.h"

namespace vqc {

namespace {

using vqjson::TextOut;
using sv = std::string_view;

// Room made at once for a listing, most of what it takes: a channel entry is
// 150 bytes without its strings; a folder 90 without its name.
constexpr size_t kChannelBytesGuess = 256;
constexpr size_t kFolderBytesGuess = 112;

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

void write_folder(TextOut &out, const playlist *pl, const group &g) {
    sv name = pl_text(pl, g.name);
    out.raw("{\"id\":\"/");
    out.escaped(name);
    out.raw("\",\"name\":\"");
    seg_str(out, name);
    out.raw("\",\"path\":\"/");
    out.escaped(name);
    out.raw("\",\"folder\":true,\"is_folder\":true,\"size\":-1,\"count\":");
    out.number(g.member_count);
    out.raw("}");
}

// What the channels of one folder share, made once per listing: the path up
// to the id, and the members from "folder" to the opening of "tvg_id", which
// name the group.
struct folder_parts {
    TextOut path;
    TextOut middle;
};

void make_parts(folder_parts &parts, const playlist *pl, int32_t group_index) {
    sv group_name = group_index >= 0 ? pl_text(pl, pl->groups[group_index].name) : sv();
    parts.path.raw("\",\"path\":\"/");
    if (group_index >= 0) {
        parts.path.escaped(group_name);
        parts.path.raw("/");
    }
    parts.middle.raw("\",\"folder\":false,\"is_folder\":false,\"size\":-1,\"group\":\"");
    parts.middle.escaped(group_name);
    parts.middle.raw("\",\"tvg_id\":\"");
}

// "%016llx" of id, its bytes looked up two digits at a time.
struct hex_id {
    char digits[16];
    explicit hex_id(uint64_t id) {
        static constexpr auto kPairs = [] {
            std::array<char, 512> pairs{};
            for (unsigned b = 0; b < 256; b++) {
                pairs[2 * b] = vq_lower(vq_hex_upper(b >> 4));
                pairs[2 * b + 1] = vq_lower(vq_hex_upper(b));
            }
            return pairs;
        }();
        for (int k = 7; k >= 0; --k, id >>= 8) std::memcpy(digits + 2 * k, &kPairs[2 * (id & 0xFF)], 2);
    }
    sv text() const { return sv(digits, sizeof digits); }
};

void write_channel(TextOut &out, const playlist *pl, int32_t index, const folder_parts &parts) {
    const hex_id id(pl->channels[index].id);
    out.raw("{\"id\":\"");
    out.raw(id.text());
    out.raw("\",\"name\":\"");
    seg_str(out, channel_text(pl, index, channel_field::name));
    out.raw(parts.path.view());
    out.raw(id.text());
    out.raw(parts.middle.view());
    out.escaped(channel_text(pl, index, channel_field::tvg_id));
    out.raw("\",\"tvg_name\":\"");
    out.escaped(channel_text(pl, index, channel_field::tvg_name));
    out.raw("\",\"tvg_logo\":\"");
    out.escaped(channel_text(pl, index, channel_field::tvg_logo));
    out.raw("\",\"stream_url\":\"");
    out.escaped(pl_text(pl, pl->channels[index].location));
    out.raw("\"}");
}

// The channels of a group (group_index >= 0) or of a playlist without
// groups; false when memory runs out.
bool write_members(TextOut &out, const playlist *pl, int32_t group_index) {
    const group &g = group_index >= 0 ? pl->groups[group_index] : pl->ungrouped;
    folder_parts parts;
    make_parts(parts, pl, group_index);
    if (parts.path.failed() || parts.middle.failed()) return false;
    out.reserve(static_cast<size_t>(g.member_count) * kChannelBytesGuess);
    const int32_t *members = members_of(pl, g);
    for (int32_t i = 0; i < g.member_count && !out.failed(); ++i) {
        if (i) out.raw(",");
        write_channel(out, pl, members[i], parts);
    }
    return true;
}

void write_groups(TextOut &out, const playlist *pl) {
    out.reserve(static_cast<size_t>(pl->group_count) * kFolderBytesGuess);
    for (int32_t g = 0; g < pl->group_count && !out.failed(); ++g) {
        if (g) out.raw(",");
        write_folder(out, pl, pl->groups[g]);
    }
}

// The document of the folder (-1: the root), or null when memory runs out.
char *write_listing(const playlist *pl, int32_t folder, size_t *len) {
    TextOut out;
    out.raw("[");
    bool parts_made = true;
    if (folder >= 0 || pl->flat)
        parts_made = write_members(out, pl, folder);
    else
        write_groups(out, pl);
    out.raw("]");
    return parts_made ? out.release(len) : nullptr;
}

// The root's document, from the playlist when it keeps one; a root small
// enough is kept there for the next listing.
char *root_listing(playlist *pl, size_t *len) {
    if (!pl->root_doc) {
        char *text = write_listing(pl, -1, len);
        if (!text || *len > kMaxKeptRoot) return text;
        pl->root_doc = text;
        pl->root_doc_len = *len;
    }
    auto *copy = static_cast<char *>(vq_malloc(pl->root_doc_len + 1));
    if (copy) std::memcpy(copy, pl->root_doc, pl->root_doc_len + 1);
    *len = pl->root_doc_len;
    return copy;
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
    size_t len = 0;
    char *text = root ? root_listing(pl, &len) : write_listing(pl, folder, &len);
    if (!text) return fail(QVX_E_CONTENT, out, out_len, "out of memory");
    return emit_text(text, len, out, out_len);
}

}  // namespace vqc
