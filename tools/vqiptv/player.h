// How each player the tool knows is told a stream and its headers: one
// argument vector, to run as it is or to print as a shell line.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "render.h"

namespace vqt {

// The players, in the order `play` looks for them on PATH.
constexpr std::array<std::string_view, 3> kPlayerNames = {"mpv", "ffplay", "vlc"};

struct PlayerLine {
    std::vector<std::string> argv;    // argv[0] is the player's program name
    std::vector<std::string> unsent;  // names of headers the player has no way to send
};

// The line that plays stream with player (one of kPlayerNames); every header
// of the stream the player can send is on it, and the caller's own args come
// first after the options the tool always gives the player. An unknown player
// gives no argv.
PlayerLine player_line(std::string_view player, const Stream &stream, const std::vector<std::string> &args = {});

// argv as one line a POSIX shell reads back word for word.
std::string shell_line(const std::vector<std::string> &argv);

// The first of the players found as an executable file on PATH, or "".
std::string first_player_on_path();
bool on_path(std::string_view program);

// How a player's run ended: the errno of a start that failed, else the
// status waitpid gave.
struct PlayerEnd {
    int start_error = 0;
    int wait_status = 0;
};

// Runs argv (argv[0] looked up on PATH, no shell in between) and waits for it
// to end. Meanwhile the terminal's interrupt and quit keys are the player's:
// the tool ignores them, the player gets them as a program started alone does.
PlayerEnd run_player(const std::vector<std::string> &argv);

}  // namespace vqt
