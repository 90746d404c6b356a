// vqiptv: browses IPTV playlists through the library, as a player would.
#include <iostream>

#include "commands.h"
#include "library.h"
#include "options.h"

int main(int argc, char **argv) {
    vqt::Options opts;
    std::string error = vqt::parse_args(argc, argv, opts);
    if (!error.empty()) {
        std::cerr << "vqiptv: " << error << "\nTry 'vqiptv --help'.\n";
        return vqt::kExitUsage;
    }
    return vqt::run(opts, std::cout, std::cerr);
}
