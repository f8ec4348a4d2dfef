#include "sound/recorder_device.h"

#include "platform/window.h"

void RecorderDevice::prepare() { ++prepare_calls; }

bool RecorderDevice::open() {
    ++open_calls;
    return !fail_open;
}

bool RecorderDevice::send(uint32_t word) {
    const int index = int(messages.size());
    const bool delivered = fail_sends_from < 0 || index < fail_sends_from;
    messages.push_back({word, tick_count_ms(), delivered});
    return delivered;
}

bool RecorderDevice::tend() { return tend_calls++ != fail_at_tend; }

void RecorderDevice::close() { ++close_calls; }

std::vector<uint32_t> RecorderDevice::delivered_words() const {
    std::vector<uint32_t> words;
    for (const RecordedMessage& m : messages) {
        if (m.delivered) words.push_back(m.word);
    }
    return words;
}
