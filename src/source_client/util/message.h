// Failure texts: every room writes its reason for a failed step into a buffer
// the caller owns, with the status it answers, through one formatter.
#pragma once
#include <cstdarg>
#include <cstddef>

namespace vqc {

// The size of an operation's message buffer: a message holds at most 399 bytes.
constexpr size_t kMsgSize = 400;

// Formats into msg (size bytes, the text cut there; nothing when msg is null
// or size 0) and answers status unchanged, so that a failure is reported and
// returned in one step.
int vsay(char *msg, size_t size, int status, const char *fmt, va_list ap);
// The same into a buffer of size bytes ...
int say_n(char *msg, size_t size, int status, const char *fmt, ...) __attribute__((format(printf, 4, 5)));
// ... and into one of kMsgSize bytes.
int say(char *msg, int status, const char *fmt, ...) __attribute__((format(printf, 3, 4)));

}  // namespace vqc
