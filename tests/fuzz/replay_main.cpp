// The fuzz target without libFuzzer, for every build and for CI: replays
// each input of the given corpus directories, then feeds pseudo-random
// inputs (a fixed seed, so every run is the same) until the game has
// handled the given number of events.
//
//     game_fuzz_replay [--events N] CORPUS_DIR...
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "game_fuzz.h"

namespace {

constexpr size_t RANDOM_INPUT_BYTES = 256;

void feed(const std::vector<uint8_t>& bytes) { LLVMFuzzerTestOneInput(bytes.data(), bytes.size()); }

}  // namespace

int main(int argc, char** argv) {
    uint64_t events = 0;
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--events") == 0 && i + 1 < argc) {
            events = std::strtoull(argv[++i], nullptr, 10);
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
            std::ifstream file(entry.path(), std::ios::binary);
            feed(std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {}));
            ++replayed;
        }
    }
    if (replayed == 0 && events == 0) {
        std::fprintf(stderr, "usage: game_fuzz_replay [--events N] CORPUS_DIR...\n");
        return 2;
    }
    std::printf("replayed %d corpus inputs: %llu events\n", replayed, (unsigned long long)fuzz_events_handled());
    std::mt19937 random_bytes(20241207);
    std::vector<uint8_t> bytes(RANDOM_INPUT_BYTES);
    const uint64_t goal = fuzz_events_handled() + events;
    while (fuzz_events_handled() < goal) {
        for (uint8_t& b : bytes)
            b = uint8_t(random_bytes());
        feed(bytes);
    }
    std::printf("%llu events handled in %llu inputs, every invariant held\n", (unsigned long long)fuzz_events_handled(),
                (unsigned long long)fuzz_inputs_fed());
    return 0;
}
