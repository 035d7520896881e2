// Stands for a statistics module left over from another version of the game: the game must
// not call it.

#include <cstdlib>

extern "C" __attribute__((visibility("default"))) const char* keyfall_stats_version()
{
    return "0.0.1";
}

extern "C" __attribute__((visibility("default"))) int keyfall_show_stats(const void*)
{
    std::abort();
}
