qvx_subsystem(qvx_parser playlist_parser/state.cpp)
