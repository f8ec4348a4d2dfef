// The main of the tests that open the synthesiser's device: the device
// starts this program anew as its sound probe, as it does the game.
#include <gtest/gtest.h>

#include "sound/sound_system_probe.h"

int main(int argc, char** argv) {
    if (sound_probe_requested()) run_sound_probe();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
