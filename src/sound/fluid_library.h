// FluidSynth, loaded when the soundfont is first needed rather than with the
// program: its library and the twenty others it brings take milliseconds to
// link, which the first picture has no reason to wait for.
//
// Only the synthesiser's own files (the loader, the renderer, the message
// player) use this.
#pragma once
#include <fluidsynth.h>

#define C4_FLUID_FUNCTIONS(X)                                                                                       \
    X(new_fluid_settings)                                                                                           \
    X(delete_fluid_settings) X(fluid_settings_setint) X(fluid_settings_setnum) X(new_fluid_synth)                   \
        X(delete_fluid_synth) X(fluid_synth_sfload) X(fluid_synth_count_midi_channels) X(fluid_synth_unset_program) \
            X(fluid_set_log_function) X(fluid_synth_noteon) X(fluid_synth_noteoff) X(fluid_synth_key_pressure)      \
                X(fluid_synth_cc) X(fluid_synth_program_change) X(fluid_synth_channel_pressure)                     \
                    X(fluid_synth_pitch_bend) X(fluid_synth_get_active_voice_count) X(fluid_synth_write_float)

// The functions the game calls, under their own names.
struct FluidLibrary {
#define C4_FLUID_POINTER(name) decltype(&::name) name = nullptr;
    C4_FLUID_FUNCTIONS(C4_FLUID_POINTER)
#undef C4_FLUID_POINTER
};

// Loads the library on the first call, from any thread; the same answer
// every time after. Null when it or one of its functions is missing. The
// library stays loaded until the process ends.
const FluidLibrary* fluid_library();
