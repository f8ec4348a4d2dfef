// A platform on the headless backend's virtual clock with a recorder as the
// MIDI device, fresh for every test.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/window.h"
#include "sound/midi.h"
#include "sound/recorder_device.h"

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        init_platform(headless_backend());
        midi_use_device(&recorder);
    }
    void TearDown() override {
        midi_close();
        shutdown_platform();
    }

    // The caption and text of every box shown so far, "caption / text".
    static std::vector<std::string> boxes() {
        std::vector<std::string> shown;
        for (const HeadlessMessageBox& box : headless_log().message_boxes) {
            shown.push_back(box.caption + " / " + box.text);
        }
        return shown;
    }

    RecorderDevice recorder;
};

inline const std::string OPEN_BOX = std::string(MIDI_ERROR_CAPTION) + " / " + MIDI_OPEN_ERROR;
inline const std::string SEND_BOX = std::string(MIDI_ERROR_CAPTION) + " / " + MIDI_SEND_ERROR;
