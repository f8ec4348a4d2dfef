// The synthesiser and its soundfont, made on a thread of their own: the
// load takes tens of milliseconds that the game's thread has no reason to
// wait for. Messages sent meanwhile are kept, in order, and played into the
// synthesiser as soon as it is ready.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sound/fluid_library.h"

enum class Load { not_started, loading, ready, failed };

class SoundfontLoader {
public:
    explicit SoundfontLoader(std::string path) : path_(std::move(path)) {}
    ~SoundfontLoader() { close(); }

    Load status();
    // Starts the load of a file that looks right; a file that does not
    // fails at once, without a thread and without FluidSynth's complaints,
    // and this call says false. True when started, now or before.
    bool start();
    // FluidSynth's settings list SDL's audio devices as they are made, so
    // they are made before SDL's sound system starts, never while it
    // starts: true once they are made, or no load is under way.
    bool settings_made();
    // Blocks until the load has ended; true when it succeeded.
    bool wait_until_finished();

    // What becomes of a message the game sends now.
    enum class Taken { play_now, kept, silent };
    Taken take(uint32_t word);

    // The synthesiser, once the kept messages have been played into it;
    // null before, and after a failed load. Read from any thread.
    fluid_synth_t* synth() const { return sounding_.load(std::memory_order_acquire); }

    // Waits for a load in progress: nothing of the synthesiser's may still
    // be starting while SDL's sound system goes.
    void join() {
        if (thread_.joinable()) thread_.join();
    }
    // Joins, and frees the synthesiser (its output must be closed by then);
    // the loader can then start again.
    void close();

private:
    void load();

    const std::string path_;
    std::mutex mutex_;
    std::condition_variable load_finished_;
    Load load_ = Load::not_started;
    bool settings_made_ = false;
    std::vector<uint32_t> waiting_;  // messages sent before the load finished
    std::thread thread_;
    // Made by the loader's thread; freed by close once it has been joined.
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* made_ = nullptr;
    std::atomic<fluid_synth_t*> sounding_{nullptr};
};
