#include "sniff.h"

#include <array>
#include <cstdint>

#include "common/ascii.h"

namespace vqt {
namespace {

constexpr size_t kTsPackets = 5;

uint8_t at(std::string_view s, size_t i) { return static_cast<uint8_t>(s[i]); }

bool starts_with(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool playlist(std::string_view s) {
    if (starts_with(s, "\xEF\xBB\xBF")) s.remove_prefix(3);
    while (!s.empty() && vq_is_space(s[0])) s.remove_prefix(1);
    return starts_with(s, "#EXTM3U");
}

// A box of MP4's own first: 32-bit size (0: to the end, 1: a 64-bit size
// follows), then the type.
bool mp4_box(std::string_view s) {
    constexpr std::array<std::string_view, 7> kTypes = {"ftyp", "styp", "moof", "moov", "sidx", "emsg", "prft"};
    if (s.size() < 8) return false;
    uint32_t size = uint32_t{at(s, 0)} << 24 | uint32_t{at(s, 1)} << 16 | uint32_t{at(s, 2)} << 8 | at(s, 3);
    if (size != 0 && size != 1 && size < 8) return false;
    for (std::string_view type : kTypes)
        if (s.substr(4, 4) == type) return true;
    return false;
}

bool magic(std::string_view s) {
    constexpr std::array<std::string_view, 4> kMagic = {"ID3", "FLV\x01", "\x1A\x45\xDF\xA3", "OggS"};
    for (std::string_view m : kMagic)
        if (starts_with(s, m)) return true;
    return false;
}

// The sync byte every `stride` bytes for kTsPackets packets, the first at
// `sync` bytes into a packet, from any of the first packet's offsets.
bool transport_stream(std::string_view s, size_t stride, size_t sync) {
    for (size_t first = sync; first < stride + sync; ++first) {
        size_t k = 0;
        while (k < kTsPackets && first + k * stride < s.size() && at(s, first + k * stride) == 0x47) ++k;
        if (k == kTsPackets) return true;
    }
    return false;
}

// The length of the ADTS frame at s[i], 0 when none starts there.
size_t adts_frame(std::string_view s, size_t i) {
    if (i + 7 > s.size() || at(s, i) != 0xFF || (at(s, i + 1) & 0xF6) != 0xF0) return 0;
    if (((at(s, i + 2) >> 2) & 0x0F) > 12) return 0;  // no such sampling rate
    size_t length = (size_t{at(s, i + 3)} & 3) << 11 | size_t{at(s, i + 4)} << 3 | at(s, i + 5) >> 5;
    return length >= 7 ? length : 0;
}

// The length of the MPEG audio frame (MPEG-1, 2 and 2.5, layers I to III) at
// s[i], 0 when none starts there.
size_t mpeg_audio_frame(std::string_view s, size_t i) {
    // kbit/s by bitrate index 1..14: MPEG-1 layers I, II, III; MPEG-2 layer I; MPEG-2 layers II and III.
    static constexpr uint16_t kRates[5][14] = {
        {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
        {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
    static constexpr uint32_t kSampleRates[3] = {44100, 48000, 32000};
    if (i + 4 > s.size() || at(s, i) != 0xFF || (at(s, i + 1) & 0xE0) != 0xE0) return 0;
    unsigned version = at(s, i + 1) >> 3 & 3, layer = at(s, i + 1) >> 1 & 3;  // 3: MPEG-1; layer 3: I
    unsigned rate_index = at(s, i + 2) >> 4, sample_index = at(s, i + 2) >> 2 & 3, pad = at(s, i + 2) >> 1 & 1;
    if (version == 1 || layer == 0 || rate_index == 0 || rate_index == 15 || sample_index == 3) return 0;
    bool mpeg1 = version == 3;
    size_t row = mpeg1 ? 3 - layer : layer == 3 ? 3 : 4;
    uint32_t bits = kRates[row][rate_index - 1] * 1000u;
    uint32_t sample_rate = kSampleRates[sample_index] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    if (layer == 3) return (12 * bits / sample_rate + pad) * 4;
    return (layer == 1 && !mpeg1 ? 72 : 144) * bits / sample_rate + pad;
}

// Two frames of one kind back to back, anywhere in the bytes.
bool audio_frames(std::string_view s) {
    for (auto frame : {adts_frame, mpeg_audio_frame})
        for (size_t i = 0; i < s.size(); ++i)
            if (size_t length = frame(s, i); length > 0 && frame(s, i + length) > 0) return true;
    return false;
}

}  // namespace

Sniffed sniff(std::string_view head, bool ended) {
    if (playlist(head)) return Sniffed::playlist;
    if (mp4_box(head) || magic(head) || transport_stream(head, 188, 0) || transport_stream(head, 192, 4) ||
        audio_frames(head))
        return Sniffed::media;
    return ended || head.size() >= kSniffBytes ? Sniffed::other : Sniffed::undecided;
}

}  // namespace vqt
