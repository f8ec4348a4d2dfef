// A private sound server for tests, as a desktop has one: PulseAudio, or
// PipeWire with its session manager (WirePlumber) and its PulseAudio
// service (pipewire-pulse). Clients reach either through the PulseAudio
// protocol. One null sink ("out") whose monitor a recorder takes down, the
// sink suspended after one idle second, clients let in without a cookie.
// Everything lives in a directory of its own; the servers and the recorder
// are the harness's children, killed by pid when their owner goes.
//
//     auto pulse = e2e::PulseServer::start(true, e2e::ServerKind::pipewire);
//     if (!pulse) GTEST_SKIP() << e2e::PulseServer::why_not();
//     options.set_env = pulse->client_env();     // for the program under test
//     pulse->start_recording();
//     ... e2e::wait_until([&] { return pulse->sink_state() == "SUSPENDED"; });
//     std::vector<int16_t> heard = pulse->recording();
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "testing/child_process.h"

namespace e2e {

constexpr int PULSE_RATE = 44100;  // the sink's, and the recording's, frames per second

enum class ServerKind { pulseaudio, pipewire };
// "PulseAudio" or "PipeWire".
const char* server_name(ServerKind kind);

class PulseServer {
public:
    // Nothing when the server could not be started (see why_not). A server
    // without a sink at all, as on a machine whose only card has gone, on
    // request.
    static std::unique_ptr<PulseServer> start(bool with_sink = true, ServerKind kind = ServerKind::pulseaudio);
    static std::string why_not();
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    // Where clients find it: PULSE_SERVER, and a client configuration that
    // never starts a server of its own.
    std::vector<std::pair<std::string, std::string>> client_env() const;
    // The same, set in this process (for code under test running in it).
    void use_in_this_process() const;

    // Kills the server (SIGKILL, as a crash does; PipeWire's three
    // processes together, as its restart does) and, with restart, starts it
    // again on the same socket; a recording in progress ends with it.
    void kill_server();
    bool restart();

    pid_t server_pid() const { return server_.pid(); }

    // "RUNNING", "IDLE", "SUSPENDED", or "" when it cannot be asked.
    std::string sink_state() const;
    // `pactl list sink-inputs` as printed: every stream's properties.
    std::string sink_inputs() const;

    // Records the sink's monitor, 16-bit stereo at PULSE_RATE, from now on.
    // A recording keeps the sink awake: the sink suspends only without it.
    // Without it, the null sink takes a new stream only after two seconds
    // (its longest block): streams to be heard at once open after it.
    bool start_recording();
    void stop_recording();
    // Frames recorded so far, and their samples (left, right, ...).
    size_t recorded_frames() const;
    std::vector<int16_t> recording() const;
    // For failure reports: a copy of the recording as raw s16le stereo;
    // returns where it went.
    std::string keep_recording(const std::string& name) const;

    // `pactl` with these arguments against this server: its output, or ""
    // when it failed.
    std::string pactl(const std::string& arguments) const;

private:
    PulseServer() = default;
    bool launch();
    bool launch_pulseaudio();
    bool launch_pipewire();  // pipewire_server.cpp
    // A server process with its output in the directory's log of that name.
    ChildProcess start_logged(const std::vector<std::string>& argv, const std::string& log) const;
    // Until the server answers; false, with why_not's reason, when it died.
    bool answers(const std::string& what, ChildProcess& process);

    ServerKind kind_ = ServerKind::pulseaudio;
    bool with_sink_ = true;
    std::string dir_;
    std::string socket_;
    ChildProcess server_;   // pulseaudio, or pipewire
    ChildProcess session_;  // wireplumber
    ChildProcess pulse_;    // pipewire-pulse
    ChildProcess recorder_;
};

// Where notes begin in a recording: frames at which the sound, after at
// least `quiet_before` frames no louder than `floor` (0: exact silence),
// rises above it again.
std::vector<size_t> onsets_after_silence(const std::vector<int16_t>& samples, size_t quiet_before, int16_t floor = 0);

// One sound of a recording: from where it rises out of silence to its last
// frame before at least `quiet_after` frames of silence.
struct Sound {
    size_t start, end;
    int peak;        // its loudest sample
    int end_peak;    // its loudest in the 50 ms before its end
    size_t gaps;     // runs of 2 ms or more of digital silence inside it
};
std::vector<Sound> sounds_in(const std::vector<int16_t>& samples, size_t quiet_after);

}  // namespace e2e
