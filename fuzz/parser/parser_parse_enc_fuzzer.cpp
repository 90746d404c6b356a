// Any bytes through decoding, detection and every parser: the first byte picks
// the format code, the second a character-set name, the rest is the playlist.
#include <cstddef>
#include <cstdint>

#include "../invariants.h"
#include "playlist_parser/vqplp.h"

namespace {

const char *const kCharsets[] = {nullptr,  "",       "utf-8",  "UTF-16LE", "utf16be", "gbk",    "big5",
                                 "cp1252", "latin1", "KOI8-R", "GB18030",  "bogus",   "UTF-32", "SHIFT_JIS"};
constexpr size_t kCharsetCount = sizeof kCharsets / sizeof kCharsets[0];

// Reads everything back so that stored offsets and counts are exercised too.
void read_all() {
    for (int32_t i = 0; i < vqplp_item_count(); ++i) {
        fuzz_check::require(vqplp_item_location(i) != nullptr);
        (void)vqplp_item_title(i);
        for (int32_t a = 0; a < vqplp_item_attr_count(i); ++a) (void)vqplp_item_attr(i, vqplp_item_attr_key(i, a));
    }
    for (int32_t i = 0; i < vqplp_warning_count(); ++i) (void)vqplp_warning(i);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) return 0;
    int32_t format = static_cast<int32_t>(data[0] % 6) - 1;
    const char *charset = kCharsets[data[1] % kCharsetCount];
    vqplp_parse_enc(data + 2, size - 2, format, charset);
    read_all();
    fuzz_check::result_matches_state();
    (void)vqplp_detect(data + 2, size - 2);
    vqplp_clear();
    return 0;
}
