// Pieces of the playlist conversion shared by its source files. Everything here
// runs inside parse_body, under g_lock.
#pragma once
#include <cstddef>
#include <cstdint>

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

// Makes room for extra more arena bytes, doubling the capacity as often as
// needed; false (arena unchanged) when it cannot grow.
bool arena_reserve(playlist *p, uint64_t extra);

// Lists every channel in its group (or in ungrouped for a flat playlist),
// creating groups in order of first appearance and leaving duplicates out of
// the lists. 0, or -1 when memory runs out.
int assign_groups(playlist *p);
