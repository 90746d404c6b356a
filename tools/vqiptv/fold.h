// Names as people type them: "musica" for "Música", "TELE" for "Télé",
// "ΟΔΟΣ" for "Οδός", "strasse" for "Straße", fullwidth "ＮＥＷＳ" for "NEWS".
#pragma once
#include <string>
#include <string_view>

namespace vqt {

// text as matching compares it (utf8proc): compatibility-decomposed, case
// folded, marks such as accents and default-ignorable characters (soft
// hyphens, zero-width spaces) taken out, look-alike dashes, quotes and spaces
// lumped with their ASCII forms. Bytes that are not UTF-8 stay as they are.
std::string fold_for_matching(std::string_view text);

}  // namespace vqt
