// The documents the library itself answers for a local playlist, served the
// way vqiptv serves --file, for comparing with what the tool prints.
#pragma once
#include <string>

#include "library.h"

// Settings naming the URL under which the tool serves path.
std::string file_settings(const std::string &path);

// Serves path through the fake transport, as vqiptv does, with a cold cache.
void serve_like_the_tool(const std::string &path);

vqt::Answer library_list(const std::string &path, const std::string &folder);
vqt::Answer library_resolve(const std::string &path, const std::string &id);
std::string library_parse(const std::string &path);
