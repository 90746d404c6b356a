// What the first bytes of a stream's answer are, told the way a player tells
// them: by their own signatures, never by the Content-Type a server claims.
#pragma once
#include <cstddef>
#include <string_view>

namespace vqt {

enum class Sniffed {
    undecided,  // too few bytes yet
    media,      // audio or video a player decodes
    playlist,   // an M3U text (HLS or a list of streams)
    other,      // anything else: an HTML page, a text, an error message
};

// Bytes after which a body that showed no signature is taken for other.
constexpr size_t kSniffBytes = 16384;

// Judges the first bytes of a body; ended: no more will come.
//  - MPEG-TS: the sync byte 0x47 every 188 bytes (192 in M2TS) for five
//    packets, from wherever the first whole packet starts;
//  - MP4 and fragmented MP4: a box of its own (ftyp, styp, moof, moov, sidx,
//    emsg, prft) first;
//  - audio: an ID3 tag first, or two ADTS or MPEG audio frames one after the
//    other;
//  - FLV, Matroska/WebM and Ogg by their magic numbers;
//  - a playlist: "#EXTM3U" first (after a byte order mark or white space).
Sniffed sniff(std::string_view head, bool ended);

}  // namespace vqt
