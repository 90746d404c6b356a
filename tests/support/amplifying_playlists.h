// Playlists shaped to make a parser spend the most memory per input byte: many
// tiny lines or entries, or many attributes that carry nothing. Shared by the
// memory test of the channel model and the client benchmark.
#pragma once
#include <cstddef>
#include <string>

struct amplifying_shape {
    const char *name;
    std::string unit;  // repeated after the "#EXTM3U" line
};

inline const amplifying_shape (&amplifying_shapes())[3] {
    static const amplifying_shape shapes[3] = {
        {"bare_lines", "a\n"},
        {"minimal_entries", "#EXTINF:-1,x\nu:x\n"},
        {"empty_attributes", [] {
             std::string unit = "#EXTINF:-1";
             for (int i = 0; i < 64; i++) unit += " a=\"\"";
             return unit + ",x\nu:x\n";
         }()},
    };
    return shapes;
}

// "#EXTM3U\n" and as many units as fit in bytes.
inline std::string amplifying_playlist(const amplifying_shape &shape, size_t bytes) {
    std::string text = "#EXTM3U\n";
    text.reserve(bytes);
    while (text.size() + shape.unit.size() <= bytes) text += shape.unit;
    return text;
}
