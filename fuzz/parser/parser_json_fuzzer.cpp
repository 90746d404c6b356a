// Any bytes parsed with detection, then rendered as JSON: the document must be
// "{}" or strict JSON whose item count matches the parser state.
#include <cstddef>
#include <cstdint>

#include "../invariants.h"
#include "playlist_parser/vqplp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    vqplp_parse(data, size, VQPLP_FMT_AUTO);
    fuzz_check::result_matches_state();
    vqplp_clear();
    return 0;
}
