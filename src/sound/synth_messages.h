// MIDI 1.0 short message words, as the game sends them, played into the
// synthesiser; and the bound on how many the device holds anywhere.
#pragma once
#include <cstddef>
#include <cstdint>

#include "sound/fluid_library.h"

// Far more than the game sends before the soundfont is in (four program
// changes) or within one audio buffer; a bound all the same, should the
// load or the output hang.
constexpr size_t MAX_WAITING_MESSAGES = 256;

// A channel message handed to the synthesiser; system messages are not for
// a synthesiser and are dropped.
void play_short_message(fluid_synth_t* synth, uint32_t word);

// Notes are the messages that are worth nothing late.
inline bool is_note_on(uint32_t word) { return (word & 0xF0) == 0x90; }
