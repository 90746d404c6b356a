// Playlists made to flood the channel model's hash tables, each beside a
// random playlist of the same shape and size, generated at run time: a
// listing of the crafted one should take about as long as of the random one.
#pragma once
#include <string>

struct playlist_pair {
    std::string crafted;
    std::string random;
};

// Flat playlists of count channels (count at most about 2^20). In the crafted
// one the channel ids (FNV-1a over the location and the byte 0x1F) all share
// their low 20 bits, so a table slotted by the id's low bits puts them in one
// cluster.
playlist_pair colliding_ids(int count);

// Playlists of count channels, each in a group of its own. In the crafted one
// the 16-byte group titles all share the low 20 bits of the name hash the
// group table once slotted by.
playlist_pair colliding_group_titles(int count);
