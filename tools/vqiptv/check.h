// `check`: the channels of listings probed as a player would open them,
// each stream once however many groups list it, with a verdict per channel.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

#include "options.h"
#include "probe.h"

namespace vqt {

// What a run keeps per channel and per stream, and nothing more: a stream's
// answer is judged as it arrives and only its verdict stays.
struct Checklist {
    struct Row {
        std::string name;
        uint32_t group;   // into groups
        uint32_t stream;  // into ids and verdicts
    };
    std::vector<std::string> groups;  // as the playlist names them, in listing order
    std::vector<Row> rows;            // in listing order
    std::vector<uint64_t> ids;        // each stream's channel id
    std::vector<Verdict> verdicts;
    std::vector<uint32_t> first_row;  // each stream's first row; rows of one stream follow by next_row
    std::vector<uint32_t> next_row;   // per row; kNoRow ends
    static constexpr uint32_t kNoRow = UINT32_MAX;

    // Adds the channels of a listing document; false when doc is not one.
    bool add(const std::string &doc);

private:
    std::unordered_map<uint64_t, uint32_t> stream_of_;
    std::vector<uint32_t> last_row_;
    uint32_t group_index(const std::string &name);
};

// Probes the streams of list with settings' playlist, then writes the report
// to out (and --write-live's file). Answers the exit status.
int run_check(const Options &opts, const std::string &settings, Checklist &list, std::ostream &out,
              std::ostream &err);

}  // namespace vqt
