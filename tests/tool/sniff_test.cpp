// Media told from other answers by the first bytes alone.
#include "sniff.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

using vqt::Sniffed;

// `count` packets of `size` bytes, the sync byte `sync` bytes into each,
// after `skip` bytes of a packet cut short.
std::string packets(size_t count, size_t size = 188, size_t sync = 0, size_t skip = 0) {
    std::string out(skip, '\x11');
    for (size_t i = 0; i < count; ++i) {
        std::string p(size, '\x11');
        p[sync] = '\x47';
        out += p;
    }
    return out;
}

// Two frames from a header and its frame length.
std::string frames(const std::string &header, size_t length) {
    std::string frame = header + std::string(length - header.size(), '\0');
    return "junk" + frame + frame;
}

std::string box(const char *type, char size = 24) {
    return std::string("\0\0\0", 3) + size + type + std::string(16, '\0');
}

TEST(Sniff, TellsMediaFromPagesByTheirFirstBytes) {
    using enum Sniffed;
    const std::tuple<const char *, std::string, bool, Sniffed> cases[] = {
        {"TS, five packets", packets(5), false, media}, {"TS from mid-packet", packets(5, 188, 0, 100), false, media},
        {"TS, four packets so far", packets(4), false, undecided}, {"TS, four packets in all", packets(4), true, other},
        {"M2TS", packets(5, 192, 4), false, media},
        {"MP4", box("ftyp"), false, media}, {"fragmented MP4", box("moof"), false, media},
        {"a box too small", box("moof", 4), true, other},
        {"ID3", "ID3\x04\0\0\0\0\0\x10", false, media}, {"FLV", "FLV\x01\x05", false, media},
        {"Matroska", "\x1A\x45\xDF\xA3\x9F", false, media}, {"Ogg", "OggS\0\x02", false, media},
        {"ADTS", frames("\xFF\xF1\x50\x80\x04\x1F\xFC", 32), false, media},
        {"MP3", frames("\xFF\xFB\x90\x00", 417), false, media},
        {"MPEG-2 layer III", frames("\xFF\xF3\x90\x00", 261), false, media},
        {"one MP3 frame", "junk" + frames("\xFF\xFB\x90\x00", 417).substr(4, 417), true, other},
        {"M3U", "#EXTM3U\n#EXT-X-VERSION:3\n", false, playlist},
        {"M3U after a mark", "\xEF\xBB\xBF \r\n#EXTM3U\n", false, playlist}, {"M3U so far", "#EXTM", false, undecided},
        {"HTML", "<!DOCTYPE html><title>Stream</title>", true, other}, {"nothing", "", true, other},
        {"text without end", std::string(vqt::kSniffBytes, 'a'), false, other},
        {"text so far", std::string(vqt::kSniffBytes - 1, 'a'), false, undecided},
    };
    for (const auto &[what, bytes, ended, expected] : cases) EXPECT_EQ(vqt::sniff(bytes, ended), expected) << what;
}

}  // namespace
