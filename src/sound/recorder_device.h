// A MIDI device for tests: keeps every short message word handed to it, with
// the platform's tick count at that moment (virtual under the headless
// backend), and fails on demand.
#pragma once
#include <cstdint>
#include <vector>

#include "sound/midi.h"

struct RecordedMessage {
    uint32_t word = 0;
    uint32_t time_ms = 0;   // tick_count_ms when it was sent
    bool delivered = true;  // false for a send the recorder refused
};

struct RecorderDevice final : MidiDevice {
    // What to refuse.
    bool fail_open = false;
    int fail_sends_from = -1;  // index of the first refused send (0: all); -1: none
    int fail_at_tend = -1;     // tend call (0: the first) that reports a late failure; -1: none

    // What happened.
    int prepare_calls = 0;
    int open_calls = 0;
    int close_calls = 0;
    int tend_calls = 0;
    std::vector<RecordedMessage> messages;  // every send, refused ones included

    void prepare() override;
    bool open() override;
    bool send(uint32_t word) override;
    bool tend() override;
    void close() override;

    // The words that reached the device, in order.
    std::vector<uint32_t> delivered_words() const;
};
