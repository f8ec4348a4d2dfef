// MIDI output: opening the device once, instruments per channel, notes.
//
// Everything above the device is portable; the device itself (the built-in
// synthesiser, or the recorder used by tests) is chosen once at start-up with
// midi_use_device, the way init_platform chooses the platform backend.
//
// Order of calls made by the game:
//   midi_use_device (right after init_platform) -> midi_open (once the
//   first picture is on the screen; a slow device gets ready in the
//   background from there) -> midi_program / midi_note while playing, and
//   midi_tend on every timer tick -> midi_close (before shutdown_platform),
//   which may still show the box of a failure found late.
// The game does not call midi_prepare: it would start the device's work on
// another thread before the display has started, and the display's start
// may fork, which is safe only while the game's thread is alone.
#pragma once
#include <cstdint>

// Output device 0 behind a narrow boundary. Every call comes from the game's
// thread.
struct MidiDevice {
    virtual ~MidiDevice() = default;

    // Starts any slow preparation in the background, ahead of open; must not
    // block. Never before the display has started (see above).
    virtual void prepare() {}
    // False when the device cannot be opened. Called at most once per run by
    // the game.
    virtual bool open() = 0;
    // Hands one short message word to the device; false when it refused it.
    virtual bool send(uint32_t word) = 0;
    // Called often (every timer tick), also while nothing plays: the device
    // lets its output rest once it has gone quiet and notices an output it
    // has lost. False, once, when the device has found since open that it
    // can never sound (its own start failed behind open).
    virtual bool tend() { return true; }
    // What tend would say once the device has found out what it still had
    // to about its start, which it may wait for: called before close, so
    // that a failure is told even when no timer tick came after open.
    virtual bool settle() { return true; }
    // Releases whatever open and prepare acquired; leaves no thread running.
    virtual void close() {}
};

// The one MIDI state of the process.
struct MidiState {
    MidiDevice* device = nullptr;  // chosen with midi_use_device
    uint8_t opened = 0;            // 1 once midi_open has succeeded
};

constexpr uint8_t MIDI_NOTE_OFF = 0x80;
constexpr uint8_t MIDI_NOTE_ON = 0x90;
constexpr uint8_t MIDI_PROGRAM_CHANGE = 0xC0;

constexpr const char* MIDI_ERROR_CAPTION = "Problème";
constexpr const char* MIDI_OPEN_ERROR = "Impossible d'ouvrir le périphérique MIDI";
constexpr const char* MIDI_SEND_ERROR = "Erreur dans l'envoi du message MIDI";

// Chooses the device (nullptr: none, which then cannot be opened) and forgets
// any earlier opening.
void midi_use_device(MidiDevice* device);
void midi_prepare();
// Opens the device unless already open. On failure shows one box and leaves
// the flag at 0, so that the game goes on silently.
void midi_open();
// Sends status | low | data1 << 8 | data2 << 16 whatever the opened flag;
// a refused message shows its own box.
void midi_send(uint8_t status, uint8_t low, uint8_t data1, uint8_t data2);
// These two do nothing while the device is not open.
void midi_program(uint8_t channel, uint8_t program);
// A note-off for the key, then its note-on: repeating a key cuts its sound.
void midi_note(uint8_t channel, uint8_t key, uint8_t off_velocity, uint8_t on_velocity);
// Lets an open device tend itself; a device that reports it can never sound
// gets the box open would have shown, and the game goes on silently.
void midi_tend();
void midi_close();

const MidiState& midi_state();
