#include "sound/midi.h"

#include "platform/window.h"

namespace {

MidiState midi;

uint32_t pack_short_message(uint8_t status, uint8_t low, uint8_t data1, uint8_t data2) {
    return uint32_t(status | low) | uint32_t(data1) << 8 | uint32_t(data2) << 16;
}

}  // namespace

void midi_use_device(MidiDevice* device) {
    midi.device = device;
    midi.opened = 0;
}

void midi_prepare() {
    if (midi.device) midi.device->prepare();
}

void midi_open() {
    if (midi.opened) return;
    if (!midi.device || !midi.device->open()) {
        show_message_box(MIDI_ERROR_CAPTION, MIDI_OPEN_ERROR);
        return;
    }
    midi_send(MIDI_PROGRAM_CHANGE, 0, 0, 0);
    midi.opened = 1;
}

void midi_send(uint8_t status, uint8_t low, uint8_t data1, uint8_t data2) {
    const uint32_t word = pack_short_message(status, low, data1, data2);
    if (!midi.device || !midi.device->send(word)) {
        show_message_box(MIDI_ERROR_CAPTION, MIDI_SEND_ERROR);
    }
}

void midi_program(uint8_t channel, uint8_t program) {
    if (!midi.opened) return;
    midi_send(MIDI_PROGRAM_CHANGE | channel, 0, program, 0);
}

void midi_note(uint8_t channel, uint8_t key, uint8_t off_velocity, uint8_t on_velocity) {
    if (!midi.opened) return;
    midi_send(MIDI_NOTE_OFF | channel, 0, key, off_velocity);
    midi_send(MIDI_NOTE_ON | channel, 0, key, on_velocity);
}

void midi_tend() {
    if (!midi.opened || midi.device->tend()) return;
    // As if the opening had failed: the one box, then silence.
    midi.opened = 0;
    show_message_box(MIDI_ERROR_CAPTION, MIDI_OPEN_ERROR);
}

void midi_close() {
    // The game may end before a timer tick has let the device say it cannot
    // sound (a display it cannot draw on ends it at once): it says so now.
    if (midi.opened && !midi.device->settle()) show_message_box(MIDI_ERROR_CAPTION, MIDI_OPEN_ERROR);
    if (midi.device) midi.device->close();
    midi.opened = 0;
}

const MidiState& midi_state() { return midi; }
