// The tool's commands, each a host's use of the library.
#pragma once
#include <ostream>

#include "options.h"

namespace vqt {

// Runs the command of opts; people's output and documents go to out, messages
// to err. Answers the exit status.
int run(const Options &opts, std::ostream &out, std::ostream &err);

// `inspect`: the parser's view of a local file.
int run_inspect(const Options &opts, std::ostream &out, std::ostream &err);

}  // namespace vqt
