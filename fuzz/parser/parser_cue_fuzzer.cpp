// Any bytes through the CUE sheet parser, then every CUE accessor.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "../invariants.h"
#include "playlist_parser/vqplp.h"

namespace {

const char *const kFields[] = {"TITLE", "PERFORMER", "SONGWRITER", "ISRC", "FILE", "FLAGS", "DATATYPE"};

void read_track(int32_t t) {
    for (const char *f : kFields) (void)vqplp_cue_track_field(t, f);
    for (int32_t k = 0; k < vqplp_cue_track_index_count(t); ++k) {
        (void)vqplp_cue_track_index_number(t, k);
        (void)vqplp_cue_track_index_frames(t, k);
        (void)vqplp_cue_track_index_ms(t, k);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    vqplp_parse(data, size, VQPLP_FMT_CUE);
    for (const char *m : {"TITLE", "PERFORMER", "SONGWRITER", "CATALOG", "CDTEXTFILE"}) (void)vqplp_cue_meta(m);
    for (int32_t t = 0; t < vqplp_cue_track_count(); ++t) read_track(t);
    for (int32_t i = 0; i < vqplp_item_count(); ++i) (void)vqplp_item_location(i);
    fuzz_check::result_matches_state();
    vqplp_clear();
    return 0;
}
