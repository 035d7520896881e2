// Writes games into a records file as fast as it can, as one of several Keyfalls sharing
// it would: record_loop FILE PLAYER COUNT. Exits with 0 when every game was written.

#include "records/RecordStore.h"
#include "records/SampleGames.h"

#include <cstdio>
#include <string>

int main(int argc, char* argv[])
{
    if (argc != 4)
        return 2;
    keyfall::records::RecordStore::Options options;
    // A busy machine may hold the other writer off the CPU in the middle of its transaction.
    options.busyTimeoutMs = 60000;
    keyfall::records::RecordStore store(argv[1], options);
    if (!store.IsOpen()) {
        std::fprintf(stderr, "%s\n", store.Problem().c_str());
        return 1;
    }
    const int count = std::stoi(argv[3]);
    for (int i = 0; i < count; ++i) {
        if (!store.Save(keyfall::test::SampleGame(argv[2], i))) {
            std::fprintf(stderr, "%s\n", store.Problem().c_str());
            return 1;
        }
    }
    return 0;
}
