// What the game's stream asks of the sound server: the name, icon and role
// under which the desktop's mixers list it, and how much sound the server
// holds for it (declared in fluid_device.h, whose device calls it as it is
// made).
#include <SDL.h>

#include <cstdlib>
#include <string>

#include "sound/fluid_device.h"

namespace {

// The desktop entry's icon, for mixers that show the stream.
constexpr const char* AUDIO_ICON_NAME = COLONNADE4_APP_ID;
// What the server holds of the stream, in milliseconds. SDL asks for one
// 11.6 ms buffer, which a desktop user's game, whose sound thread runs at
// normal priority, cannot keep filled beside two busy programs: the sound
// breaks up. This much rides out two busy programs, for some 15 ms more
// delay before a note is heard, and sets PipeWire's graph to blocks of
// 20 ms instead of 5, which would cost every other program on the desktop
// too. (60 ms rides out a busier machine still, for 20 ms more.)
constexpr const char* SERVER_LATENCY_MS = "46";

}  // namespace

void name_audio_stream() {
    // SDL's PulseAudio and PipeWire outputs take the name from these hints
    // when SDL's sound system starts.
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, AUDIO_APPLICATION_NAME);
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, AUDIO_APPLICATION_NAME);
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, "Game");
    // SDL's PulseAudio output ignores the role, and names no icon; without
    // SDL's own PulseAudio output SDL plays through ALSA, whose PulseAudio
    // plug-in names the stream after whatever ALSA says. The PulseAudio
    // library lets this variable have the last word: the game's name, the
    // desktop entry's icon, and the role by which mixers and policies tell a
    // game's sounds. A value the user set is theirs and stays.
    const std::string properties = std::string("application.name='") + AUDIO_APPLICATION_NAME +
                                   "' application.icon_name='" + AUDIO_ICON_NAME + "' media.role='game'";
    setenv("PULSE_PROP_OVERRIDE", properties.c_str(), 0);
    // The PulseAudio library's own way to set a stream's latency, which
    // SDL's output leaves no other way to: read as each stream connects,
    // to PulseAudio or to PipeWire's PulseAudio service. The user's own
    // value, here too, stays.
    setenv("PULSE_LATENCY_MSEC", SERVER_LATENCY_MS, 0);
}
