#include "sound/tunes.h"

#include "platform/random.h"
#include "platform/window.h"
#include "sound/midi.h"

namespace {

constexpr uint8_t VELOCITY = 127;  // every note is struck (and cut) at full force
constexpr uint8_t KEY_DISC_CLICK = 74;

constexpr uint8_t KEY_HUMAN_WIN = 74;
constexpr int HUMAN_WIN_NOTES = 3;

constexpr uint8_t KEY_DRAW_FIRST = 64;  // then up by a semitone per note
constexpr int DRAW_NOTES = 6;

constexpr uint8_t KEY_CPU_WIN_LOWEST = 80;
constexpr int32_t KEY_CPU_WIN_SPREAD = 20;  // keys 80 to 100, both included
constexpr int CPU_WIN_NOTES = 11;
constexpr int CPU_WIN_SPEED_UP_MS = 10;  // each pause 10 ms shorter than the last

constexpr int TUNE_PAUSE_MS = 200;

void strike(uint8_t channel, uint8_t key) { midi_note(channel, key, VELOCITY, VELOCITY); }

}  // namespace

void set_instruments() {
    midi_program(CHANNEL_DISC, PROGRAM_MARIMBA);
    midi_program(CHANNEL_CPU_TUNE, PROGRAM_VIBRAPHONE);
    midi_program(CHANNEL_FANFARE, PROGRAM_ORCHESTRA_HIT);
}

void play_disc_click() { strike(CHANNEL_DISC, KEY_DISC_CLICK); }

void play_human_win_tune() {
    for (int i = 0; i < HUMAN_WIN_NOTES; ++i) {
        strike(CHANNEL_FANFARE, KEY_HUMAN_WIN);
        delay_ms(TUNE_PAUSE_MS);
    }
}

void play_draw_tune() {
    for (int i = 0; i < DRAW_NOTES; ++i) {
        strike(CHANNEL_FANFARE, uint8_t(KEY_DRAW_FIRST + i));
        delay_ms(TUNE_PAUSE_MS);
    }
}

void play_cpu_win_tune() {
    for (int i = 0; i < CPU_WIN_NOTES; ++i) {
        strike(CHANNEL_CPU_TUNE, uint8_t(KEY_CPU_WIN_LOWEST + random_upto(KEY_CPU_WIN_SPREAD)));
        delay_ms(TUNE_PAUSE_MS - CPU_WIN_SPEED_UP_MS * i);
    }
}
