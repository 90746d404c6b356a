// Readies the library for the playlist source named on the command line and
// answers the settings text every operation is handed.
#pragma once
#include <string>

#include "options.h"

namespace vqt {

struct Prepared {
    int exit = 0;          // kExitOk, or why the source cannot be used
    std::string settings;  // the settings text for the operations
    std::string error;
};

Prepared prepare_source(const Options &opts);

// The URL under which a local file is served to the library.
std::string file_url(const std::string &path);

// s as a JSON string literal.
std::string json_string(const std::string &s);

// Reads a whole file; answers kExitOk or an exit status with a message.
int read_file(const std::string &path, std::string &bytes, std::string &error);

}  // namespace vqt
