#include "sound/soundfont_loader.h"

#include <malloc.h>

#include <cstdio>
#include <cstring>

#include "sound/audio_format.h"
#include "sound/soundfont_file.h"
#include "sound/soundfont_subset.h"
#include "sound/synth_messages.h"
#include "sound/tunes.h"

namespace {

// The game never has more than a few notes ringing; fewer voices keep the
// synthesiser's own buffers small.
constexpr int POLYPHONY = 32;
// FluidSynth's default of 0.2 leaves the marimba click near -25 dBFS; four
// times that brings the loudest tune (six overlapping orchestra hits) to
// about 0.8 of full scale, still clear of clipping.
constexpr double SYNTH_GAIN = 0.8;

// The library's functions, wherever a synthesiser exists: the loader made
// it with them.
const FluidLibrary& fluid() { return *fluid_library(); }

// FluidSynth reports through a global hook; only what stops the sound is
// worth showing on stderr.
void log_fluid_problem(int level, const char* message, void*) {
    const size_t length = std::strcspn(message, "\n");
    std::fprintf(stderr, "colonnade4: synthesiser %s: %.*s\n", level == FLUID_PANIC ? "panic" : "error", int(length),
                 message);
}

void quiet_fluid_logging() {
    static std::once_flag once;
    std::call_once(once, [] {
        fluid().fluid_set_log_function(FLUID_PANIC, log_fluid_problem, nullptr);
        fluid().fluid_set_log_function(FLUID_ERR, log_fluid_problem, nullptr);
        fluid().fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
        fluid().fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
        fluid().fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    });
}

}  // namespace

Load SoundfontLoader::status() {
    std::lock_guard<std::mutex> lock(mutex_);
    return load_;
}

bool SoundfontLoader::start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (load_ != Load::not_started) return true;
    if (!looks_like_soundfont(path_)) {
        load_ = Load::failed;
        return false;
    }
    load_ = Load::loading;
    thread_ = std::thread(&SoundfontLoader::load, this);
    return true;
}

bool SoundfontLoader::settings_made() {
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_made_ || load_ != Load::loading;
}

bool SoundfontLoader::wait_until_finished() {
    std::unique_lock<std::mutex> lock(mutex_);
    load_finished_.wait(lock, [this] { return load_ != Load::loading; });
    return load_ == Load::ready;
}

SoundfontLoader::Taken SoundfontLoader::take(uint32_t word) {
    std::lock_guard<std::mutex> lock(mutex_);
    switch (load_) {
    case Load::ready: return Taken::play_now;
    case Load::loading:
        if (waiting_.size() < MAX_WAITING_MESSAGES) waiting_.push_back(word);
        return Taken::kept;
    case Load::not_started:
    case Load::failed: break;
    }
    return Taken::silent;
}

void SoundfontLoader::load() {
    // Without the library there is nothing to load; it said why.
    const bool library = fluid_library() != nullptr;
    if (library) quiet_fluid_logging();
    fluid_settings_t* settings = library ? fluid().new_fluid_settings() : nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        settings_made_ = true;
    }
    load_finished_.notify_all();
    // The game plays three instruments of the 128: the synthesiser is given
    // a copy of the soundfont cut down to them, about 5 MB less memory and
    // most of the load's time; the whole file should it not cut.
    const MemoryFile subset(settings ? soundfont_subset(path_, GAME_PROGRAMS) : "");
    fluid_synth_t* synth = nullptr;
    bool ok = false;
    if (settings) {
        fluid().fluid_settings_setnum(settings, "synth.sample-rate", SAMPLE_RATE);
        fluid().fluid_settings_setint(settings, "synth.polyphony", POLYPHONY);
        fluid().fluid_settings_setnum(settings, "synth.gain", SYNTH_GAIN);
        // The copy's samples are all the game's: read at once, so that the
        // copy can go when the load ends and no program change reads a file
        // on the sound's thread. Of a whole file only the samples of the
        // instruments chosen are read, on the program changes. Nothing needs
        // them pinned in memory.
        fluid().fluid_settings_setint(settings, "synth.dynamic-sample-loading", subset.made() ? 0 : 1);
        fluid().fluid_settings_setint(settings, "synth.lock-memory", 0);
        synth = fluid().new_fluid_synth(settings);
        const std::string file = subset.made() ? subset.path() : path_;
        ok = synth && fluid().fluid_synth_sfload(synth, file.c_str(), 1) != FLUID_FAILED;
        // The load gives every channel its default instrument, the drum kit
        // on channel 9 and the piano on the others, and reads their samples.
        // The game chooses its three instruments itself before any note and
        // plays nothing else: without those defaults their samples (a few
        // megabytes) are never read.
        if (ok)
            for (int channel = 0; channel < fluid().fluid_synth_count_midi_channels(synth); ++channel)
                fluid().fluid_synth_unset_program(synth, channel);
    }
    if (!ok) {
        if (synth) fluid().delete_fluid_synth(synth);
        if (settings) fluid().delete_fluid_settings(settings);
        if (library)
            std::fprintf(stderr, "colonnade4: cannot load the soundfont %s, playing without sound\n", path_.c_str());
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (ok) {
        settings_ = settings;
        made_ = synth;
        for (uint32_t word : waiting_)
            play_short_message(synth, word);
        sounding_.store(synth, std::memory_order_release);
        load_ = Load::ready;
    } else {
        load_ = Load::failed;
    }
    waiting_.clear();
    load_finished_.notify_all();
    // The load grows this thread's own malloc arena by several megabytes,
    // a third of it freed again by the time it ends; give that back.
    malloc_trim(0);
}

void SoundfontLoader::close() {
    join();
    sounding_.store(nullptr);
    if (made_) fluid().delete_fluid_synth(made_);
    if (settings_) fluid().delete_fluid_settings(settings_);
    made_ = nullptr;
    settings_ = nullptr;
    waiting_.clear();
    load_ = Load::not_started;
    settings_made_ = false;
}
