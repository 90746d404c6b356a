// A C++ host built through the CMake package: the header compiles as C++,
// the linked module lists a playlist served from memory, and
// quorvex_iptv_MODULE (QVX_MODULE) names the very file the host was linked to.
//
//   host_cpp PLAYLIST.m3u
#include <dlfcn.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include <quorvex_iptv.h>

int main(int argc, char **argv) {
    if (argc != 2) return std::cerr << "usage: host_cpp PLAYLIST.m3u\n", 2;
    std::ifstream in(argv[1], std::ios::binary);
    std::string playlist((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Already loaded as the host's own dependency, or not the same file.
    void *module = dlopen(QVX_MODULE, RTLD_NOW | RTLD_NOLOAD);
    if (!module || dlsym(module, "vqiptv_version") != reinterpret_cast<void *>(&vqiptv_version))
        return std::cerr << QVX_MODULE << " is not the module the host is linked to\n", 1;
    std::vector<char> listing(65536);
    vqiptv_use_fake();
    int32_t status = vqiptv_fake_set("http://playlists.example/list.m3u", 200, playlist.c_str());
    if (status == 0)
        status = vqiptv_list(R"({"URL":"http://playlists.example/list.m3u"})", "/", listing.data(),
                             static_cast<int32_t>(listing.size()));
    if (status != 0) return std::cerr << status << ": " << vqiptv_last_error() << "\n", 1;
    std::cout << listing.data() << "\n";
    return 0;
}
