// What `check` prints: a table of the channels, a group's live ones first,
// with a summary line; or with --json one object per channel.
#pragma once
#include <ostream>
#include <string>

#include "check.h"

namespace vqt {

// NAME, GROUP (left out when no channel has one), VERDICT, FIRST BYTE: the
// groups in listing order, each one's live channels first, at most width
// cells wide (0: no limit).
void write_table(const Checklist &list, std::ostream &out, size_t width);

// "5 channels: 3 live, 2 dead (1 timeout, 1 http 404)": the causes by count.
std::string summary(const Checklist &list);

// The JSON object of the channel at row: id, name, group, the stream's URL
// redacted (no user information, no query), verdict ("live" or "dead"),
// cause (null when live) and ms (the time to the first media byte, null
// when dead).
std::string json_line(const Checklist &list, uint32_t row, const std::string &url);

// A channel id as the library writes it: 16 hexadecimal digits.
std::string id_text(uint64_t id);

}  // namespace vqt
