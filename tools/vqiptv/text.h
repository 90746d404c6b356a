// Text measured and cut the way a terminal shows it: UTF-8 code points, wide
// East Asian characters taking two cells, combining marks none.
#pragma once
#include <string>

namespace vqt {

// Terminal cells s occupies.
size_t display_width(const std::string &s);

// s with control characters as spaces and invalid bytes as "?", safe to print.
std::string printable(const std::string &s);

// s cut to at most `width` cells, ending in an ellipsis when cut.
std::string cut_end(const std::string &s, size_t width);

// s cut to at most `width` cells by taking out its middle: URLs keep their
// host and their last path segment.
std::string cut_middle(const std::string &s, size_t width);

}  // namespace vqt
