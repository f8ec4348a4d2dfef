// The cheap check made before a soundfont is loaded: the load takes tens of
// milliseconds and FluidSynth complains on standard error about a file it
// cannot read; this costs one small read and says nothing.
#pragma once
#include <string>

// A SoundFont is a RIFF file of form "sfbk" whose chunk fits in the file.
// Only a regular file can be one: opened without waiting, so that a FIFO or
// a device at the path never holds up the game.
bool looks_like_soundfont(const std::string& path);
