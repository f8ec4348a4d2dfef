#include "sound/synth_messages.h"

void play_short_message(fluid_synth_t* synth, uint32_t word) {
    const FluidLibrary& fluid = *fluid_library();
    const int status = word & 0xF0;
    const int channel = word & 0x0F;
    const int data1 = (word >> 8) & 0x7F;
    const int data2 = (word >> 16) & 0x7F;
    switch (status) {
    case 0x80: fluid.fluid_synth_noteoff(synth, channel, data1); break;
    case 0x90:
        // Velocity 0 is the running-status way of writing a note-off.
        if (data2 == 0)
            fluid.fluid_synth_noteoff(synth, channel, data1);
        else
            fluid.fluid_synth_noteon(synth, channel, data1, data2);
        break;
    case 0xA0: fluid.fluid_synth_key_pressure(synth, channel, data1, data2); break;
    case 0xB0: fluid.fluid_synth_cc(synth, channel, data1, data2); break;
    case 0xC0: fluid.fluid_synth_program_change(synth, channel, data1); break;
    case 0xD0: fluid.fluid_synth_channel_pressure(synth, channel, data1); break;
    case 0xE0: fluid.fluid_synth_pitch_bend(synth, channel, data1 | data2 << 7); break;
    default: break;
    }
}
