#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <utility>

#include "options.h"
#include "player.h"

namespace vqt {
namespace {

// Which options a command accepts.
enum Accepts : unsigned { kSource = 1, kPlayer = 2, kParse = 4, kCheck = 8 };

// The operand count of a command that takes any number of them.
constexpr size_t kAnyCount = SIZE_MAX;

struct CommandForm {
    std::string_view name;
    Command command;
    size_t operands;
    unsigned accepts;
};

constexpr std::array kCommands = {
    CommandForm{"groups", Command::groups, 0, kSource},
    CommandForm{"channels", Command::channels, 1, kSource},
    CommandForm{"search", Command::search, 1, kSource},
    CommandForm{"resolve", Command::resolve, 1, kSource | kPlayer},
    CommandForm{"play", Command::play, 1, kSource | kPlayer},
    CommandForm{"validate", Command::validate, 0, kSource},
    CommandForm{"inspect", Command::inspect, 1, kParse},
    CommandForm{"stats", Command::stats, 0, kSource},
    CommandForm{"check", Command::check, kAnyCount, kSource | kCheck},
    CommandForm{"help", Command::help, 0, 0},
    CommandForm{"version", Command::version, 0, 0},
};

constexpr std::array<std::string_view, 5> kFormats = {"auto", "m3u", "m3u8-hls", "streaming-list", "cue"};

template <size_t N>
bool one_of(const std::array<std::string_view, N> &names, const std::string &s) {
    for (std::string_view n : names)
        if (n == s) return true;
    return false;
}

// Whether a word before "--" is an option. The only one-dash option is -h,
// so any other word with one dash ("-Sport-", a group's name) is an operand.
bool names_option(const std::string &word) { return word.rfind("--", 0) == 0 || word == "-h"; }

// Walks argv once; options may stand before or after the operands, and "--"
// ends them.
class Parser {
public:
    Parser(int argc, const char *const *argv, Options &opts) : argc_(argc), argv_(argv), opts_(opts) {}

    std::string run() {
        std::vector<std::string> words;
        bool options_ended = false;
        for (i_ = 1; i_ < argc_; ++i_) {
            std::string arg = argv_[i_];
            if (!options_ended && arg == "--") {
                options_ended = true;
                continue;
            }
            std::string msg = !options_ended && names_option(arg) ? option(arg) : (words.push_back(arg), "");
            if (!msg.empty()) return msg;
        }
        if (help_) return opts_.command = Command::help, "";
        return command(words);
    }

private:
    int argc_;
    const char *const *argv_;
    Options &opts_;
    int i_ = 1;
    bool help_ = false;
    // The options that only some commands accept, as they were written.
    std::vector<std::pair<unsigned, std::string>> given_;

    void use(unsigned what, const std::string &name) { given_.emplace_back(what, name); }

    std::string option(const std::string &arg) {
        std::string name = arg, value;
        bool inline_value = false;
        if (size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq), value = arg.substr(eq + 1), inline_value = true;
        }
        if (name == "--help" || name == "-h") return help_ = true, "";
        if (name == "--version") return opts_.command = Command::version, "";
        if (name == "--json") return opts_.json = true, "";
        if (!inline_value && !next_value(value)) return "option " + name + " needs a value";
        return valued(name, value);
    }

    bool next_value(std::string &value) {
        if (i_ + 1 >= argc_) return false;
        value = argv_[++i_];
        return true;
    }

    std::string valued(const std::string &name, const std::string &value) {
        if (name == "--url") return source(SourceKind::url, name, value);
        if (name == "--file") return source(SourceKind::file, name, value);
        if (name == "--settings") return source(SourceKind::settings, name, value);
        if (name == "--player") {
            use(kPlayer, name);
            opts_.player = value;
            return one_of(kPlayerNames, value) ? "" : "unknown player '" + value + "' (mpv, ffplay or vlc)";
        }
        if (name == "--charset") return use(kParse, name), opts_.charset = value, "";
        if (name == "--format") {
            use(kParse, name);
            opts_.format = value;
            return one_of(kFormats, value) ? "" : "unknown format '" + value + "'";
        }
        if (name == "--user-agent") {
            use(kSource, name);
            opts_.user_agent = value, opts_.user_agent_given = true;
            return "";
        }
        if (name == "--header") return use(kSource, name), header(value);
        if (name == "--jobs") return use(kCheck, name), jobs(value);
        if (name == "--timeout") return use(kCheck, name), timeout(value);
        if (name == "--write-live") return use(kCheck, name), opts_.write_live = value, "";
        return "unknown option " + name;
    }

    // The whole of value as a number of type T.
    template <typename T>
    static bool number(const std::string &value, T &n) {
        auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
        return ec == std::errc() && end == value.data() + value.size();
    }

    std::string jobs(const std::string &value) {
        int n = 0;
        if (!number(value, n) || n < 1 || n > kMaxJobs)
            return "option --jobs takes a number from 1 to " + std::to_string(kMaxJobs);
        opts_.jobs = n;
        return "";
    }

    // Seconds, with decimals: at least a tenth, at most an hour.
    std::string timeout(const std::string &value) {
        double seconds = 0;
        if (!number(value, seconds) || !(seconds >= kMinTimeout && seconds <= kMaxTimeout))
            return "option --timeout takes seconds from 0.1 to 3600";
        opts_.timeout_ms = static_cast<uint32_t>(std::lround(seconds * 1000));
        return "";
    }

    // "Name: value" as curl's -H takes it; the library judges name and value.
    std::string header(const std::string &line) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) return "option --header takes 'Name: value'";
        size_t start = std::min(line.find_first_not_of(' ', colon + 1), line.size());
        opts_.headers.emplace_back(line.substr(0, colon), line.substr(start));
        return "";
    }

    std::string source(SourceKind kind, const std::string &name, const std::string &value) {
        if (opts_.source != SourceKind::standard) return "give one source: --url, --file or --settings";
        use(kSource, name);
        opts_.source = kind;
        opts_.source_value = value;
        return "";
    }

    std::string command(const std::vector<std::string> &words) {
        if (words.empty()) return opts_.command == Command::version ? "" : "no command given";
        for (const CommandForm &form : kCommands)
            if (form.name == words[0]) return check(form, words);
        return "unknown command '" + words[0] + "'";
    }

    std::string check(const CommandForm &form, const std::vector<std::string> &words) {
        std::string name(form.name);
        if (form.command == Command::help && words.size() == 2) return help_on(words[1]);
        if (form.operands != kAnyCount && words.size() - 1 != form.operands)
            return name + " takes " + std::to_string(form.operands) + " argument(s), " +
                   std::to_string(words.size() - 1) + " given";
        for (const auto &[what, option] : given_)
            if (what & ~form.accepts) return "option " + option + " is not accepted by " + name;
        if (opts_.json && !opts_.player.empty()) return "--json and --player exclude each other";
        if (opts_.json && form.command == Command::play) return "option --json is not accepted by play";
        bool shaped = opts_.user_agent_given || !opts_.headers.empty();
        if (shaped && (opts_.source == SourceKind::file || opts_.source == SourceKind::settings))
            return "--user-agent and --header go with --url or the default playlist";
        opts_.command = form.command;
        opts_.operands.assign(words.begin() + 1, words.end());
        return "";
    }

    std::string help_on(const std::string &topic) {
        for (const CommandForm &form : kCommands)
            if (form.name == topic) return opts_.command = Command::help, opts_.operands = {topic}, "";
        return "unknown command '" + topic + "'";
    }
};

// Whether an entry of the commands list ("  search TEXT   …", "  help [COMMAND], version")
// names the command NAME.
bool entry_names(std::string_view line, std::string_view name) {
    std::string_view forms = line.substr(2, line.substr(2).find('\n'));
    forms = forms.substr(0, forms.find("  "));
    for (size_t at = 0; at <= forms.size();) {
        size_t end = std::min(forms.find(", ", at), forms.size());
        std::string_view form = forms.substr(at, end - at);
        if (form.substr(0, form.find(' ')) == name) return true;
        at = end + 2;
    }
    return false;
}

}  // namespace

std::string command_help(const std::string &name) {
    std::string out;
    bool inside = false;
    for (std::string_view rest = usage_text(); !rest.empty();) {
        std::string_view line = rest.substr(0, rest.find('\n') + 1);
        rest.remove_prefix(line.size());
        // An entry starts at the third column; its wrapped lines stand further in.
        if (line.size() > 2 && line.substr(0, 2) == "  " && line[2] != ' ')
            inside = entry_names(line, name);
        else if (line.substr(0, 2) != "  ")
            inside = false;
        if (inside) out += line;
    }
    return out + "\nSources, options and exit statuses: vqiptv --help\n";
}

std::string parse_args(int argc, const char *const *argv, Options &opts) { return Parser(argc, argv, opts).run(); }

const char *usage_text() {
    return R"(Usage: vqiptv COMMAND [ARGUMENTS] [SOURCE] [OPTIONS]

Browse IPTV M3U playlists the way a media player does through the library.

Commands:
  groups                 list the playlist's groups with their channel counts
                         (the channels themselves when the playlist has no groups)
  channels GROUP         list the channels of GROUP: name, id and stream URL
  search TEXT            list the channels whose name, tvg-name or group holds
                         TEXT, letter case aside, across all groups
  resolve ID|NAME        print the stream URL of a channel and the headers to send;
                         a NAME matches a channel name exactly, letter case aside
  play ID|NAME           run a player on the channel with the headers it needs
                         (--player, else the first of mpv, ffplay, vlc on PATH)
  validate               print the completed settings document of the source
  inspect FILE           print the parser's view of a local file: format, items,
                         CUE sheet and warnings by kind
  stats [SOURCE]         print the library's statistics (after listing SOURCE)
  check [GROUP...]       probe the stream of every channel (of each GROUP) as a
                         player opens it, many at once: live when media bytes
                         arrive, else why not (exit 0 whatever the verdicts)
  help [COMMAND], version

Source (groups, channels, search, resolve, play, validate, stats, check):
  --url URL              the playlist at URL (default: the library's default playlist)
  --file PATH            a local playlist file, served to the library offline
  --settings JSON        a settings document, handed to the library as it is
  --user-agent UA        (with --url) the User-Agent of the playlist's requests
  --header 'Name: value' (with --url) a header they carry too; again for more

Options:
  --json                 print the library's documents exactly as it answered them
  --player mpv|ffplay|vlc
                         (resolve) print a command line that plays the channel
                         with the headers it needs; (play) the player to run
  --charset NAME         (inspect) decode the file from NAME (e.g. cp1252, utf-16le)
  --format auto|m3u|m3u8-hls|streaming-list|cue
                         (inspect) parse as this format instead of detecting it
  --jobs N               (check) probes at once, 1 to 256 (default 16)
  --timeout S            (check) seconds one probe may take, 0.1 to 3600
                         (default 10)
  --write-live FILE      (check) write the live channels' entries, their lines
                         as the playlist has them, to FILE
  -h, --help             show this text
  --version              show the library version
  --                     end the options: every later word is an argument, even
                         one that begins with "--" (a word with one "-" other
                         than -h always is)

Tables fit the terminal (or $COLUMNS) and shorten long texts with an ellipsis.
On a terminal, downloads show their progress on stderr.

Exit status:
  0  success
  1  other failure
  2  usage error (also: a NAME that several channels have; they are listed)
  3  not found (playlist, group, channel, file, no search hit, no player)
  4  network failure or server error
  5  unusable content (not a playlist, no playable entries)
  6  access refused (HTTP 401/403, unreadable file)
  7  rate limited (HTTP 429)
  8  invalid settings or argument
  9  not supported (no network transport in this build)

Examples:
  vqiptv groups --file samples/sample.m3u
  vqiptv channels News --file samples/sample.m3u
  vqiptv search mooz --file samples/sample.m3u
  vqiptv resolve 806613f80a4ae992 --file samples/sample.m3u --player mpv
  vqiptv check News --url https://example.com/playlist.m3u --write-live live.m3u
  vqiptv groups --url https://example.com/playlist.m3u --json
)";
}

}  // namespace vqt
