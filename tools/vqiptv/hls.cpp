#include "hls.h"

#include "common/ascii.h"
#include "source_client/model/channel_model.h"

namespace vqt {
namespace {

// A key tag's method: a segment after "METHOD=AES-128" is ciphertext,
// one after "METHOD=NONE" (or SAMPLE-AES, which keeps the stream's
// structure) is not.
bool encrypts(std::string_view key_tag) {
    size_t at = key_tag.find("METHOD=");
    return at != std::string_view::npos && vq_istarts_with(key_tag.substr(at + 7), "AES-128");
}

}  // namespace

HlsStep first_step(std::string_view text) {
    HlsStep step;
    bool master = false;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = vqc::trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty()) continue;
        if (line[0] != '#') {
            step.kind = master ? HlsStep::Kind::variant : HlsStep::Kind::segment;
            step.uri = line;
            return step;
        }
        master = master || vq_istarts_with(line, "#EXT-X-STREAM-INF");
        if (vq_istarts_with(line, "#EXT-X-KEY:")) step.encrypted = encrypts(line);
    }
    return step;
}

}  // namespace vqt
