// A SoundFont cut down to the few melodic instruments the game plays.
//
// FluidSynth parses every preset of a soundfont it loads, and keeps each
// zone of each one with room for every generator: for the 128 instruments
// and the drum kits of a General MIDI font that is about 5 MB of memory,
// and most of the load's time, for instruments never heard. Reading only
// their samples on demand (its dynamic sample loading) does not spare
// that. Handed a SoundFont holding only the wanted presets, the
// instruments they use and those instruments' samples, it plays them
// exactly as from the whole file.
#pragma once
#include <cstdint>
#include <span>
#include <string>

// The SoundFont 2 at `path` with only the presets of bank 0 whose program
// numbers are listed, as the bytes of a file. Each sample keeps its data,
// its loop and its neighbourhood of zeros; generators and modulators are
// copied unchanged. Empty when the file cannot be read as a SoundFont 2 of
// 16-bit samples or holds none of the programs: the caller then loads the
// whole file, and FluidSynth says what is wrong with it.
std::string soundfont_subset(const std::string& path, std::span<const uint8_t> programs);

// The bytes as a file FluidSynth can open by name, in memory only: nothing
// is written to any disc. Closed, and its memory freed, when this goes.
class MemoryFile {
public:
    explicit MemoryFile(const std::string& bytes);
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // False when the system could not make it.
    bool made() const { return fd_ >= 0; }
    // A name that opens the file while this lives.
    std::string path() const;

private:
    int fd_ = -1;
};
