// Ready-to-run player command lines carrying a stream's request headers.
#pragma once
#include <string>

#include "docs.h"

namespace vqt {

// s as one word of a POSIX shell, quoted only when it needs to be.
std::string shell_quote(const std::string &s);

// The command line that plays stream with player (mpv, ffplay or vlc).
std::string player_command(const std::string &player, const Stream &stream);

}  // namespace vqt
