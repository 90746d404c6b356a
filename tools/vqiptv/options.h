// The command line of vqiptv, parsed into one record.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vqt {

enum class Command { groups, channels, search, resolve, play, validate, inspect, stats, check, help, version };

// Where the playlist comes from: the library's default, a URL, a local file
// served through the fake transport, or a settings text handed over as it is.
enum class SourceKind { standard, url, file, settings };

// The bounds of check's --jobs and --timeout (seconds).
constexpr int kMaxJobs = 256;
constexpr double kMinTimeout = 0.1, kMaxTimeout = 3600;

struct Options {
    Command command = Command::help;
    std::vector<std::string> operands; // GROUP, TEXT, ID or NAME, or FILE
    SourceKind source = SourceKind::standard;
    std::string source_value;          // the URL, path or settings text
    bool json = false;
    std::string player;                // mpv, ffplay or vlc (resolve, play)
    std::vector<std::string> player_args;  // --player-arg, and play's words after "--"
    std::string user_agent;            // --user-agent: the settings' "UserAgent"
    bool user_agent_given = false;
    std::vector<std::pair<std::string, std::string>> headers;  // --header: the settings' "Headers"
    std::string charset;               // inspect
    std::string format = "auto";       // inspect
    int jobs = 16;                     // check: probes at once
    uint32_t timeout_ms = 10000;       // check: the time one probe may take
    std::string write_live;            // check: the file for the live channels
};

// Fills opts from argv; answers "" or a message for the user.
std::string parse_args(int argc, const char *const *argv, Options &opts);

// The tool's surface as its help, manual and completion must show it: every
// option (valued: a value follows it), every command, the formats of --format.
struct OptionName {
    std::string_view name;
    bool valued;
};
std::vector<OptionName> option_names();
std::vector<std::string_view> command_names();
std::vector<std::string_view> format_names();

// The --help text.
const char *usage_text();

// The lines of the --help text that describe the command NAME.
std::string command_help(const std::string &name);

}  // namespace vqt
