#include "player.h"

#include <array>
#include <string_view>

namespace vqt {
namespace {

// How a player is told the two headers: "--flag=value" when joined, else
// the flag and the value as two words.
struct PlayerFlags {
    std::string_view name;
    std::string_view user_agent;
    std::string_view referer;
    bool joined;
};

constexpr std::array kPlayers = {
    PlayerFlags{"mpv", "--user-agent=", "--referrer=", true},
    PlayerFlags{"vlc", "--http-user-agent=", "--http-referrer=", true},
    PlayerFlags{"ffplay", "-user_agent", "-referer", false},
};

bool plain(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("_@%+=:,./-").find(c) != std::string_view::npos;
}

std::string flag(const PlayerFlags &p, std::string_view name, const std::string &value) {
    std::string out(name);
    if (!p.joined) out += ' ';
    out += shell_quote(value);
    return out;
}

}  // namespace

std::string shell_quote(const std::string &s) {
    bool bare = !s.empty();
    for (char c : s) bare = bare && plain(c);
    if (bare) return s;
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    out += '\'';
    return out;
}

std::string player_command(const std::string &player, const Stream &stream) {
    for (const PlayerFlags &p : kPlayers) {
        if (p.name != player) continue;
        std::string cmd(p.name);
        for (const auto &[name, value] : stream.headers) {
            if (name == "User-Agent") cmd.append(" ").append(flag(p, p.user_agent, value));
            if (name == "Referer") cmd.append(" ").append(flag(p, p.referer, value));
        }
        return cmd.append(" ").append(shell_quote(stream.url));
    }
    return "";
}

}  // namespace vqt
