// The parser's result document as people read it.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace vqt {

// What a warning is about, without its particulars: "cue: garbage: xyz"
// and "cue: garbage: abc" are both "cue: garbage".
std::string warning_kind(const std::string &warning);

// Kinds with their counts, most frequent first (first seen first on a tie).
std::vector<std::pair<std::string, size_t>> warning_kinds(const std::vector<std::string> &warnings);

// Summary, items, CUE sheet and warnings of a parse result document ("" when
// doc is not one).
std::string render_parse(const std::string &doc, size_t width);

}  // namespace vqt
