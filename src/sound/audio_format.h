// What the synthesiser makes and the audio output takes: 16-bit stereo at
// 44.1 kHz, whatever the hardware wants (SDL converts).
#pragma once
#include <cstdint>

constexpr int SAMPLE_RATE = 44100;
constexpr int OUTPUT_CHANNELS = 2;
// The synthesiser renders in blocks of this many frames, and takes the
// messages it is given at the start of a block.
constexpr int64_t SYNTH_BLOCK = 64;
