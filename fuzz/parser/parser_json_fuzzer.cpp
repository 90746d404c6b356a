// Any bytes parsed with detection, then rendered as JSON: the document must be
// "{}" or strict JSON whose item count matches the parser state.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/json.h"
#include "playlist_parser/vqplp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    vqplp_parse(data, size, VQPLP_FMT_AUTO);
    const char *text = vqplp_result_json();
    if (std::strcmp(text, "{}") != 0) {
        vqjson::Doc doc;
        if (vqjson::parse_strict(doc, text) != vqjson::kOk) std::abort();
        const vqjson::Value *count = vqjson::find_first(doc, "item_count");
        if (!count || count->GetInt() != vqplp_item_count()) std::abort();
    }
    vqplp_clear();
    return 0;
}
