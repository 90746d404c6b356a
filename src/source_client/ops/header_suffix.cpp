#include "source_client/ops/header_suffix.h"

#include "common/ascii.h"
#include "common/byte_scan.h"
#include "common/utf8.h"
#include "source_client/model/channel_model.h"

namespace vqc {

namespace {

using sv = std::string_view;

// The next piece between "&" or "|" separators that is not blank, trimmed;
// empty at the end.
sv next_piece(sv &rest) {
    while (!rest.empty()) {
        size_t end = vqbytes::find_any<'&', '|'>(rest.data(), rest.size());
        sv piece = trimmed(rest.substr(0, end));
        rest.remove_prefix(end == rest.size() ? end : end + 1);
        if (!piece.empty()) return piece;
    }
    return {};
}

bool read_pair(sv piece, header_pair *pair) {
    size_t eq = piece.find('=');
    if (eq == sv::npos || !header_name(piece.substr(0, eq))) return false;
    *pair = {piece.substr(0, eq), piece.substr(eq + 1)};
    return true;
}

}  // namespace

bool header_name(sv name) {
    if (name.empty()) return false;
    for (char c : name)
        if (!vq_is_token_char(c)) return false;
    return true;
}

bool reads_as_header_pairs(sv text) {
    header_pair pair;
    sv piece = next_piece(text);
    if (piece.empty()) return false;
    for (; !piece.empty(); piece = next_piece(text))
        if (!read_pair(piece, &pair)) return false;
    return true;
}

header_suffix split_header_suffix(sv location) {
    size_t bar = location.find('|');
    if (bar == sv::npos) return {location, {}};
    sv pairs = trimmed(location.substr(bar + 1));
    if (!reads_as_header_pairs(pairs)) return {location, {}};
    sv url = location.substr(0, bar);
    while (!url.empty() && vq_is_space(url.back())) url.remove_suffix(1);
    return {url, pairs};
}

bool next_header_pair(sv &pairs, header_pair *pair) {
    sv piece = next_piece(pairs);
    return !piece.empty() && read_pair(piece, pair);
}

header_kind kind_of_header(sv name) { return spelled_kind(name, kHeaderName); }

size_t form_decode(sv value, char *out) {
    size_t n = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        int hi = i + 2 < value.size() ? vq_hex_digit(value[i + 1]) : -1;
        int lo = hi >= 0 ? vq_hex_digit(value[i + 2]) : -1;
        if (value[i] == '%' && lo >= 0) {
            out[n++] = static_cast<char>(hi << 4 | lo);
            i += 2;
        } else {
            out[n++] = value[i] == '+' ? ' ' : value[i];
        }
    }
    return n;
}

bool sendable_header_value(sv value) {
    if (value.empty()) return false;
    const auto *p = reinterpret_cast<const unsigned char *>(value.data());
    for (size_t i = 0; i < value.size();) {
        if (p[i] < 0x20 || p[i] == 0x7F) return false;
        size_t k = vq_utf8_seq(p + i, value.size() - i);
        if (k == 0) return false;
        i += k;
    }
    return true;
}

}  // namespace vqc
