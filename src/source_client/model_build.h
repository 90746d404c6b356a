// Pieces of the playlist conversion shared by its source files. Everything here
// runs inside parse_body, under g_lock.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/alloc.h"
#include "playlist_parser/vqplp.h"
#include "source_client/channel_model.h"

// HTTP options of one entry taken from "#EXTVLCOPT" lines (arena offsets, 0 = none).
struct entry_opts {
    uint32_t user_agent;
    uint32_t referrer;
};

// Reads the "#EXTVLCOPT" lines of the parser's decoded text (len bytes, may be
// null) and hands them to the n parser items by position. *opts stays null
// when no entry received an option, else the caller releases it with vq_free.
// *mismatch tells whether the entry lines counted differently from n.
// Answers 0, or -1 when memory runs out (*opts is then null).
int vlcopt_scan(playlist *p, const char *text, size_t len, int32_t n, entry_opts **opts, bool *mismatch);

// Makes room for extra more arena bytes, growing the capacity by half as
// often as needed; false (arena unchanged) when it cannot grow.
bool arena_reserve(playlist *p, uint64_t extra);

// Builds the channels of the entries the parser hands over one by one
// (vqplp_parse_borrowed_each with take_entry as the sink).
struct model_builder {
    playlist *p;
    uint8_t *kept;  // one bit per entry: set when it became a channel
    int32_t kept_cap;
    int32_t entries;
    bool grouped;  // some channel has a group title
    bool failed;   // memory ran out and the parse was stopped
};

// The sink: converts an entry of an M3U playlist into a channel or counts it
// as skipped; entries of other formats are passed over.
int take_entry(void *builder, const vqplp_entry &entry);
// Once the parse is over: the "#EXTVLCOPT" options of the decoded text (len
// bytes) laid onto the channels, the blocks trimmed to their use, the groups
// made. 0, or -1 when memory runs out. Frees what only the build needed.
int finish_model(model_builder *b, const char *text, size_t len);
void builder_free(model_builder *b);

// Room for one more element in a list that starts at `first` slots and grows
// by half, so that no more than a third of a big block lies unused.
template <class T>
bool room_for_one(T **items, int32_t count, int32_t *cap, int32_t first = 16) {
    if (count < *cap) return true;
    if (*cap > INT32_MAX / 3 * 2) return false;
    int32_t grown = *cap ? *cap + *cap / 2 : first;
    auto *bigger = static_cast<T *>(vq_realloc(*items, sizeof(T) * static_cast<size_t>(grown)));
    if (!bigger) return false;
    *items = bigger;
    *cap = grown;
    return true;
}

// Lists every channel in its group (or in ungrouped for a flat playlist),
// creating groups in order of first appearance and leaving duplicates out of
// the lists. 0, or -1 when memory runs out.
int assign_groups(playlist *p);
