// Case folding for matching what people type against channel and group
// names: "MÚSICA" and "Música", "ΟΔΟΣ" and "Οδος", "ЯНДЕКС" and "Яндекс"
// fold to the same text.
#pragma once
#include <string>
#include <string_view>

namespace vqt {

// text with every letter in its folded form (Unicode simple case folding as
// the C library's UTF-8 locale knows it: lower case of the upper case, so
// that "ς" and "σ" meet). Bytes that are not UTF-8 are kept as they are.
std::string fold_case(std::string_view text);

}  // namespace vqt
