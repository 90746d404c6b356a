// `check --write-live FILE`: the live channels' entries of the playlist, each
// with its own lines byte for byte, in playlist order, written to a
// temporary file beside FILE and renamed over it: FILE is whole or untouched.
#pragma once
#include <ostream>
#include <string>

#include "check.h"

namespace vqt {

// Whether a file can be written at path (its folder is there and open to
// writing, and path is no folder): kExitOk, or an exit status with its
// message written to err. Asked before the probes, so a run is not lost.
int live_file_usable(const std::string &path, std::ostream &err);

// Writes the entries of the playlist copy whose channel list found live.
// Answers kExitOk, or an exit status with its message written to err.
int write_live(const std::string &path, const Checklist &list, std::ostream &err);

}  // namespace vqt
