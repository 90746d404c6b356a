// What someone probably meant when a name they typed names nothing.
#pragma once
#include <string>
#include <vector>

namespace vqt {

// The names equal to typed but for letter case and accents; when there is
// none, the up to three names nearest to it in edits (characters inserted, removed,
// replaced or swapped), nearest first, playlist order on a tie. Names
// compare as search compares them (search_key). Empty when nothing comes close.
std::vector<std::string> nearest_names(const std::string &typed, const std::vector<std::string> &names);

// "did you mean \"A\"?" or "did you mean \"A\", \"B\" or \"C\"?", "" for none.
std::string did_you_mean(const std::vector<std::string> &names);

}  // namespace vqt
