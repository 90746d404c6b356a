// The tool as a host of the library: the playlist source named on the command
// line made ready, operations called with buffers sized through the library's
// "buffer too small" answer, and statuses mapped to exit statuses.
#pragma once
#include <climits>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "options.h"

namespace vqt {

// Exit statuses of the tool, one per failure class.
enum Exit : int {
    kExitOk = 0,
    kExitFailure = 1,      // anything not classified below
    kExitUsage = 2,        // bad command line
    kExitNotFound = 3,     // no such playlist, group, channel or file
    kExitNetwork = 4,      // transport failure, timeout, server error
    kExitContent = 5,      // not a usable playlist
    kExitRefused = 6,      // access refused (401/403) or file not readable
    kExitRateLimited = 7,  // HTTP 429
    kExitInvalid = 8,      // bad settings or argument
    kExitUnsupported = 9,  // no transport in this build
    kExitPlayerFailed = 10,  // the player ended with a status other than 0, or by a signal
    kExitNoPlayer = 11,      // no player found, or it cannot be run
};

// One operation's outcome: its status, the document it produced (result or
// error document) and the library's message.
struct Answer {
    int32_t status = 0;
    std::string doc;
    std::string error;
    bool ok() const { return status == 0; }
};

// An operation writing into (out, out_len), as the exports do.
using Operation = std::function<int32_t(char *out, int32_t out_len)>;

// Runs op with a buffer of `first` bytes, then once more with the size the
// library asks for when the buffer was too small.
Answer call_sized(const Operation &op, int32_t first = 16384);

Answer lib_validate(const std::string &settings);
Answer lib_list(const std::string &settings, const std::string &path);
Answer lib_stream_url(const std::string &settings, const std::string &entry);

// The size a "need %lu bytes" message states, or 0.
int32_t stated_size(const std::string &message);

int exit_for_status(int32_t status);

// The source made ready: the fake transport serving a local file, or the
// network transport (metered on a terminal).
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

// A file as messages name it: its path, or "standard input" for "-".
std::string file_name(const std::string &path);

// The most a file or standard input may hold: what the parser's own file
// reader takes.
constexpr size_t kMaxInput = INT32_MAX;

// Appends all of f to bytes, which must not grow past `limit` bytes; answers
// 0, EFBIG when f holds more, or EIO.
int read_stream(FILE *f, std::string &bytes, size_t limit);

// Reads a whole file, "-" standard input; answers kExitOk or an exit status
// with a message.
int read_file(const std::string &path, std::string &bytes, std::string &error);

}  // namespace vqt
