#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "options.h"
#include "player.h"

namespace vqt {
namespace {

// Which options a command accepts (0: only those of kAny, which go with every
// command).
enum Accepts : unsigned { kAny = 0, kSource = 1, kPlayer = 2, kParse = 4, kCheck = 8 };

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

// What the options fill in as the command line is read.
struct Parsed {
    Options &opts;
    bool help = false;
};

std::string source(Parsed &p, SourceKind kind, const std::string &value) {
    if (p.opts.source != SourceKind::standard) return "give one source: --url, --file or --settings";
    p.opts.source = kind;
    p.opts.source_value = value;
    return "";
}

// "Name: value" as curl's -H takes it; the library judges name and value.
std::string header(Parsed &p, const std::string &line) {
    size_t colon = line.find(':');
    if (colon == std::string::npos) return "option --header takes 'Name: value'";
    size_t start = std::min(line.find_first_not_of(' ', colon + 1), line.size());
    p.opts.headers.emplace_back(line.substr(0, colon), line.substr(start));
    return "";
}

// The whole of value as a number of type T.
template <typename T>
bool number(const std::string &value, T &n) {
    auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    return ec == std::errc() && end == value.data() + value.size();
}

std::string jobs(Parsed &p, const std::string &value) {
    int n = 0;
    if (!number(value, n) || n < 1 || n > kMaxJobs)
        return "option --jobs takes a number from 1 to " + std::to_string(kMaxJobs);
    p.opts.jobs = n;
    return "";
}

// Seconds, with decimals: at least a tenth, at most an hour.
std::string timeout(Parsed &p, const std::string &value) {
    double seconds = 0;
    if (!number(value, seconds) || !(seconds >= kMinTimeout && seconds <= kMaxTimeout))
        return "option --timeout takes seconds from 0.1 to 3600";
    p.opts.timeout_ms = static_cast<uint32_t>(std::lround(seconds * 1000));
    return "";
}

// One option: whether a value follows it (the next word, or after "="), the
// commands that take it, and what it does with its value.
struct OptionForm {
    std::string_view name;
    bool valued;
    unsigned accepts;
    std::string (*apply)(Parsed &, const std::string &value);
};

constexpr std::array kOptions = {
    OptionForm{"--url", true, kSource, [](Parsed &p, const std::string &v) { return source(p, SourceKind::url, v); }},
    OptionForm{"--file", true, kSource,
               [](Parsed &p, const std::string &v) { return source(p, SourceKind::file, v); }},
    OptionForm{"--settings", true, kSource,
               [](Parsed &p, const std::string &v) { return source(p, SourceKind::settings, v); }},
    OptionForm{"--user-agent", true, kSource,
               [](Parsed &p, const std::string &v) {
                   p.opts.user_agent = v, p.opts.user_agent_given = true;
                   return std::string();
               }},
    OptionForm{"--header", true, kSource, header},
    OptionForm{"--json", false, kAny, [](Parsed &p, const std::string &) { return p.opts.json = true, std::string(); }},
    OptionForm{"--player", true, kPlayer,
               [](Parsed &p, const std::string &v) {
                   p.opts.player = v;
                   return one_of(kPlayerNames, v) ? "" : "unknown player '" + v + "' (mpv, ffplay or vlc)";
               }},
    OptionForm{"--player-arg", true, kPlayer,
               [](Parsed &p, const std::string &v) { return p.opts.player_args.push_back(v), std::string(); }},
    OptionForm{"--charset", true, kParse,
               [](Parsed &p, const std::string &v) { return p.opts.charset = v, std::string(); }},
    OptionForm{"--format", true, kParse,
               [](Parsed &p, const std::string &v) {
                   p.opts.format = v;
                   return one_of(kFormats, v) ? "" : "unknown format '" + v + "'";
               }},
    OptionForm{"--jobs", true, kCheck, jobs},
    OptionForm{"--timeout", true, kCheck, timeout},
    OptionForm{"--write-live", true, kCheck,
               [](Parsed &p, const std::string &v) { return p.opts.write_live = v, std::string(); }},
    OptionForm{"--help", false, kAny, [](Parsed &p, const std::string &) { return p.help = true, std::string(); }},
    OptionForm{"-h", false, kAny, [](Parsed &p, const std::string &) { return p.help = true, std::string(); }},
    OptionForm{"--version", false, kAny,
               [](Parsed &p, const std::string &) { return p.opts.command = Command::version, std::string(); }},
};

const OptionForm *option_form(const std::string &name) {
    for (const OptionForm &form : kOptions)
        if (form.name == name) return &form;
    return nullptr;
}

// Whether a word before "--" is an option. The only one-dash option is -h,
// so any other word with one dash ("-Sport-", a group's name) is an operand.
bool names_option(const std::string &word) { return word.rfind("--", 0) == 0 || word == "-h"; }

// Walks argv once; options may stand before or after the operands, and "--"
// ends them.
class Parser {
public:
    Parser(int argc, const char *const *argv, Options &opts) : argc_(argc), argv_(argv), parsed_{opts} {}

    std::string run() {
        std::vector<std::string> words;
        for (i_ = 1; i_ < argc_; ++i_) {
            std::string arg = argv_[i_];
            if (ended_at_ == kNotEnded && arg == "--") {
                ended_at_ = words.size();
                continue;
            }
            bool is_option = ended_at_ == kNotEnded && names_option(arg);
            std::string msg = is_option ? option(arg) : (words.push_back(arg), "");
            if (!msg.empty()) return msg;
        }
        if (parsed_.help) return parsed_.opts.command = Command::help, "";
        return command(words);
    }

private:
    static constexpr size_t kNotEnded = SIZE_MAX;
    int argc_;
    const char *const *argv_;
    Parsed parsed_;
    int i_ = 1;
    size_t ended_at_ = kNotEnded;  // how many words came before "--"
    // The options that only some commands accept, as they were written.
    std::vector<std::pair<unsigned, std::string>> given_;

    std::string option(const std::string &arg) {
        std::string name = arg, value;
        bool inline_value = false;
        if (size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq), value = arg.substr(eq + 1), inline_value = true;
        }
        const OptionForm *form = option_form(name);
        if (!form) return "unknown option " + name;
        if (!form->valued && inline_value) return "option " + name + " takes no value";
        if (form->valued && !inline_value && !next_value(value)) return "option " + name + " needs a value";
        if (form->accepts != kAny) given_.emplace_back(form->accepts, name);
        return form->apply(parsed_, value);
    }

    bool next_value(std::string &value) {
        if (i_ + 1 >= argc_) return false;
        value = argv_[++i_];
        return true;
    }

    std::string command(std::vector<std::string> &words) {
        if (words.empty()) return parsed_.opts.command == Command::version ? "" : "no command given";
        for (const CommandForm &form : kCommands)
            if (form.name == words[0]) return check(form, words);
        return "unknown command '" + words[0] + "'";
    }

    // play hands the words after "--" that it does not take as its argument
    // to the player.
    void split_player_words(const CommandForm &form, std::vector<std::string> &words) {
        if (form.command != Command::play || ended_at_ == kNotEnded) return;
        size_t from = std::max(ended_at_, 1 + form.operands);
        if (from >= words.size()) return;
        auto &args = parsed_.opts.player_args;
        args.insert(args.end(), words.begin() + static_cast<std::ptrdiff_t>(from), words.end());
        words.resize(from);
    }

    std::string check(const CommandForm &form, std::vector<std::string> &words) {
        Options &opts = parsed_.opts;
        std::string name(form.name);
        if (form.command == Command::help && words.size() == 2) return help_on(words[1]);
        split_player_words(form, words);
        if (form.operands != kAnyCount && words.size() - 1 != form.operands)
            return name + " takes " + std::to_string(form.operands) + " argument(s), " +
                   std::to_string(words.size() - 1) + " given";
        for (const auto &[what, option] : given_)
            if (what & ~form.accepts) return "option " + option + " is not accepted by " + name;
        if (opts.json && !opts.player.empty()) return "--json and --player exclude each other";
        if (opts.json && form.command == Command::play) return "option --json is not accepted by play";
        if (form.command == Command::resolve && opts.player.empty() && !opts.player_args.empty())
            return "--player-arg goes with --player";
        bool shaped = opts.user_agent_given || !opts.headers.empty();
        if (shaped && (opts.source == SourceKind::file || opts.source == SourceKind::settings))
            return "--user-agent and --header go with --url or the default playlist";
        opts.command = form.command;
        opts.operands.assign(words.begin() + 1, words.end());
        return "";
    }

    std::string help_on(const std::string &topic) {
        for (const CommandForm &form : kCommands)
            if (form.name == topic) return parsed_.opts.command = Command::help, parsed_.opts.operands = {topic}, "";
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

std::vector<OptionName> option_names() {
    std::vector<OptionName> out;
    for (const OptionForm &form : kOptions) out.push_back({form.name, form.valued});
    return out;
}

std::vector<std::string_view> command_names() {
    std::vector<std::string_view> out;
    for (const CommandForm &form : kCommands) out.push_back(form.name);
    return out;
}

std::vector<std::string_view> format_names() { return {kFormats.begin(), kFormats.end()}; }

const char *usage_text() {
    return R"(Usage: vqiptv COMMAND [ARGUMENTS] [SOURCE] [OPTIONS]

Browse IPTV M3U playlists the way a media player does through the library.

Commands:
  groups                 list the playlist's groups with their channel counts
                         (the channels themselves when the playlist has no groups)
  channels GROUP         list the channels of GROUP: name, id and stream URL
  search TEXT            list the channels whose name, tvg-name or group holds
                         TEXT, letter case and accents aside, across all groups
  resolve ID|NAME        print the stream URL of a channel and the headers to send;
                         a NAME matches a channel name exactly, letter case and
                         accents aside
  play ID|NAME [-- ARG...]
                         run a player on the channel with the headers it needs
                         (--player, else the first of mpv, ffplay, vlc on PATH);
                         the words after "--" go to the player
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
  --player-arg ARG       (play, resolve --player) hand ARG to the player before
                         the stream; again for more
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
  3  not found (playlist, group, channel, file, no search hit)
  4  network failure or server error
  5  unusable content (not a playlist, no playable entries)
  6  access refused (HTTP 401/403, unreadable file)
  7  rate limited (HTTP 429)
  8  invalid settings or argument
  9  not supported (no network transport in this build)
  10 the player failed (it ended with a status other than 0, or by a signal)
  11 no player found, or it cannot be run

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
