#include "player.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace vqt {
namespace {

// Where a player takes the headers: "--flag=value" and "-flag value" before
// the URL, or VLC's input options ":flag=value" after it.
enum class Style { joined, separate, input_option };

struct PlayerForm {
    std::string_view name;
    Style style;
    std::string_view user_agent, referer;
    std::string_view other;  // "" when the player cannot send other headers
    // All other headers in one argument, CR LF between them: ffmpeg adds the
    // last one itself, and one header then keeps the printed line one line.
    bool other_joined;
    // Always given first: ffplay would otherwise keep its window open once
    // the stream has ended.
    std::string_view always;
};

constexpr std::array kForms = {
    PlayerForm{"mpv", Style::joined, "--user-agent=", "--referrer=", "--http-header-fields-append=", false, ""},
    PlayerForm{"ffplay", Style::separate, "-user_agent", "-referer", "-headers", true, "-autoexit"},
    PlayerForm{"vlc", Style::input_option, ":http-user-agent=", ":http-referrer=", "", false, ""},
};

void add_flag(const PlayerForm &p, std::string_view flag, const std::string &value, std::vector<std::string> &out) {
    if (p.style == Style::separate) {
        out.emplace_back(flag);
        out.push_back(value);
    } else {
        out.push_back(std::string(flag) + value);
    }
}

// The headers other than User-Agent and Referer, as the player takes them.
void add_others(const PlayerForm &p, const Stream &stream, PlayerLine &line, std::vector<std::string> &flags) {
    std::string joined;
    for (const auto &[name, value] : stream.headers) {
        if (name == "User-Agent" || name == "Referer") continue;
        if (p.other.empty()) line.unsent.push_back(name);
        else if (p.other_joined) joined.append(joined.empty() ? "" : "\r\n").append(name).append(": ").append(value);
        else add_flag(p, p.other, name + ": " + value, flags);
    }
    if (!joined.empty()) add_flag(p, p.other, joined, flags);
}

PlayerLine line_for(const PlayerForm &p, const Stream &stream, const std::vector<std::string> &args) {
    PlayerLine line;
    std::vector<std::string> flags;
    for (const auto &[name, value] : stream.headers) {
        if (name == "User-Agent") add_flag(p, p.user_agent, value, flags);
        if (name == "Referer") add_flag(p, p.referer, value, flags);
    }
    add_others(p, stream, line, flags);
    line.argv.emplace_back(p.name);
    if (!p.always.empty()) line.argv.emplace_back(p.always);
    line.argv.insert(line.argv.end(), args.begin(), args.end());
    if (p.style != Style::input_option) line.argv.insert(line.argv.end(), flags.begin(), flags.end());
    line.argv.push_back(stream.url);
    if (p.style == Style::input_option) line.argv.insert(line.argv.end(), flags.begin(), flags.end());
    return line;
}

// "--flag=value" as --flag='value', which reads better than the whole word
// quoted and means the same to the shell.
std::string option_quote(const std::string &word) {
    size_t eq = word.find('=');
    bool flag = (word[0] == '-' || word[0] == ':') && eq != std::string::npos &&
                shell_quote(word.substr(0, eq + 1)) == word.substr(0, eq + 1);
    return flag ? word.substr(0, eq + 1) + shell_quote(word.substr(eq + 1)) : shell_quote(word);
}

}  // namespace

PlayerLine player_line(std::string_view player, const Stream &stream, const std::vector<std::string> &args) {
    for (const PlayerForm &p : kForms)
        if (p.name == player) return line_for(p, stream, args);
    return {};
}

std::string shell_line(const std::vector<std::string> &argv) {
    std::string out;
    for (const std::string &word : argv) {
        if (!out.empty()) out += ' ';
        out += option_quote(word);
    }
    return out;
}

bool on_path(std::string_view program) {
    const char *path = std::getenv("PATH");
    std::string_view dirs = path ? path : "";
    while (true) {
        size_t colon = dirs.find(':');
        std::string_view dir = dirs.substr(0, colon);
        std::filesystem::path file = std::filesystem::path(dir.empty() ? "." : dir) / program;
        struct stat st {};
        if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(file.c_str(), X_OK) == 0) return true;
        if (colon == std::string_view::npos) return false;
        dirs.remove_prefix(colon + 1);
    }
}

std::string first_player_on_path() {
    for (std::string_view name : kPlayerNames)
        if (on_path(name)) return std::string(name);
    return "";
}

namespace {

// The dispositions of SIGINT and SIGQUIT, ignored for the time of a player's
// run as system(3) does.
class KeysToThePlayer {
public:
    KeysToThePlayer() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGINT, &ignore, &int_);
        ::sigaction(SIGQUIT, &ignore, &quit_);
    }
    ~KeysToThePlayer() {
        ::sigaction(SIGINT, &int_, nullptr);
        ::sigaction(SIGQUIT, &quit_, nullptr);
    }
    KeysToThePlayer(const KeysToThePlayer &) = delete;
    KeysToThePlayer &operator=(const KeysToThePlayer &) = delete;

private:
    struct sigaction int_ {}, quit_ {};
};

}  // namespace

PlayerEnd run_player(const std::vector<std::string> &argv) {
    std::vector<char *> args;
    for (const std::string &word : argv) args.push_back(const_cast<char *>(word.c_str()));
    args.push_back(nullptr);
    KeysToThePlayer keys;
    posix_spawnattr_t attr;
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGQUIT);
    posix_spawnattr_init(&attr);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
    PlayerEnd end;
    pid_t pid = 0;
    end.start_error = ::posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (end.start_error != 0) return end;
    int rc;
    do rc = ::waitpid(pid, &end.wait_status, 0);
    while (rc < 0 && errno == EINTR);
    return end;
}

}  // namespace vqt
