// Helpers shared by the parser tests.
#pragma once
#include <string>
#include <vector>

#include "playlist_parser/vqplp.h"

namespace ptest {

inline int parse(const std::string &text, int32_t format = VQPLP_FMT_AUTO, const char *charset = nullptr) {
    return vqplp_parse_enc(text.data(), text.size(), format, charset);
}

inline std::vector<std::string> warnings() {
    std::vector<std::string> out;
    for (int i = 0; i < vqplp_warning_count(); ++i) out.push_back(vqplp_warning(i) ? vqplp_warning(i) : "<null>");
    return out;
}

inline std::string str(const char *s) { return s ? s : "<null>"; }

inline std::string decoded() { return std::string(vqplp_decoded_text(), vqplp_decoded_len()); }

}  // namespace ptest
