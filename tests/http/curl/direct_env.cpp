// The network tests talk to servers on 127.0.0.1 only: a proxy configured in
// the environment (as on some build machines) must not stand in between.
#include <cstdlib>
#include <initializer_list>

namespace {
const bool g_direct = [] {
    for (const char *name : {"no_proxy", "NO_PROXY"}) setenv(name, "127.0.0.1,localhost", 1);
    return true;
}();
}  // namespace
