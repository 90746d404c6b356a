// The parser's result document as people read it.
#pragma once
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace vqt {

// What a warning is about, without its particulars: "cue: garbage: xyz"
// and "cue: garbage: abc" are both "cue: garbage".
std::string warning_kind(const std::string &warning);

// Kinds with their counts, most frequent first (first seen first on a tie).
std::vector<std::pair<std::string, size_t>> warning_kinds(const std::vector<std::string> &warnings);

// Summary, items, CUE sheet and warnings of the parser's last result.
void write_parse(std::ostream &out, size_t width);

}  // namespace vqt
