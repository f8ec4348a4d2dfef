// The sounds of the game: the instruments chosen at start-up, the click of a
// landing disc and the three end-of-game tunes. The tunes pause with
// delay_ms on the game's thread, so no event is handled until they end.
#pragma once
#include <cstdint>

// General MIDI programs, counted from 0 as sent on the wire.
constexpr uint8_t PROGRAM_MARIMBA = 12;
constexpr uint8_t PROGRAM_VIBRAPHONE = 11;
constexpr uint8_t PROGRAM_ORCHESTRA_HIT = 55;
// Every program the game plays; the synthesiser loads no other. The piano
// midi_open starts channel 0 with is replaced before any note sounds: it is
// left out, and the program change that asks for it selects nothing.
constexpr uint8_t GAME_PROGRAMS[] = {PROGRAM_MARIMBA, PROGRAM_VIBRAPHONE, PROGRAM_ORCHESTRA_HIT};

constexpr uint8_t CHANNEL_DISC = 0;      // marimba: every disc that lands
constexpr uint8_t CHANNEL_CPU_TUNE = 1;  // vibraphone: the computer's win
constexpr uint8_t CHANNEL_FANFARE = 2;   // orchestra hit: the human's win and the draw

// Called once right after midi_open.
void set_instruments();
// Called by play_move once the disc is in the board, for either side.
void play_disc_click();
// Called after the final board of a game has been shown: 600 ms, 1200 ms and
// 1650 ms of notes and pauses, with or without a device.
void play_human_win_tune();
void play_draw_tune();
void play_cpu_win_tune();
