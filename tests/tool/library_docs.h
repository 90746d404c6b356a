// The documents the library itself answers for a local playlist, through its
// own exports called here (a URL of the test's own, a buffer that always
// fits), for comparing with what the tool prints: nothing of the tool's own
// code (its file URLs, its buffer sizing) takes part in the expected side.
#pragma once
#include <string>

#include "library.h"

vqt::Answer library_list(const std::string &path, const std::string &folder);
vqt::Answer library_resolve(const std::string &path, const std::string &id);
std::string library_parse(const std::string &path);
