// What every fuzz target checks after each input. A broken invariant aborts,
// so the replays of a Release build catch it as well as the fuzzers do.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/json.h"
#include "playlist_parser/vqplp.h"

namespace fuzz_check {

inline void require(bool ok) {
    if (!ok) std::abort();
}

inline void strict_json(const char *text) {
    vqjson::Doc doc;
    require(text && vqjson::parse_strict(doc, text) == vqjson::kOk);
}

// The parser's result document is "{}" or strict JSON whose item count is the state's.
inline void result_matches_state() {
    const char *text = vqplp_result_json();
    if (std::strcmp(text, "{}") == 0) return;
    vqjson::Doc doc;
    require(vqjson::parse_strict(doc, text) == vqjson::kOk);
    const vqjson::Value *count = vqjson::find_first(doc, "item_count");
    require(count && count->IsInt() && count->GetInt() == vqplp_item_count());
}

// An operation answers 0 or one of the documented negative statuses.
inline void documented_status(int32_t status) {
    for (int32_t s : {0, -1, -2, -3, -4, -5, -6, -8, -9})
        if (status == s) return;
    std::abort();
}

}  // namespace fuzz_check
