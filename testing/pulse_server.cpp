#include "testing/pulse_server.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace e2e {

namespace {

namespace fs = std::filesystem;

std::string& last_failure() {
    static std::string why;
    return why;
}

// The whole output of a short command, or "" when it failed.
std::string run(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
            out.append(chunk, n);
        if (pclose(pipe) != 0) out.clear();
    }
    return out;
}

}  // namespace

const char* server_name(ServerKind kind) { return kind == ServerKind::pipewire ? "PipeWire" : "PulseAudio"; }

std::unique_ptr<PulseServer> PulseServer::start(bool with_sink, ServerKind kind) {
    const std::string programs =
        kind == ServerKind::pipewire ? "pipewire wireplumber pipewire-pulse parec pactl" : "pulseaudio parec pactl";
    if (run("command -v " + programs).empty()) {
        last_failure() = "one of " + programs + " is not installed (scripts/install-deps.sh installs them)";
        return nullptr;
    }
    std::unique_ptr<PulseServer> p(new PulseServer);
    p->kind_ = kind;
    p->with_sink_ = with_sink;
    char pattern[] = "/tmp/c4-pulse-XXXXXX";
    if (!mkdtemp(pattern)) {
        last_failure() = "no temporary directory";
        return nullptr;
    }
    p->dir_ = pattern;
    fs::create_directories(p->dir_ + "/run");
    fs::create_directories(p->dir_ + "/home");
    std::ofstream(p->dir_ + "/client.conf") << "autospawn = no\n";
    if (!p->launch()) return nullptr;
    return p;
}

std::string PulseServer::why_not() { return "no private sound server: " + last_failure(); }

bool PulseServer::launch() { return kind_ == ServerKind::pipewire ? launch_pipewire() : launch_pulseaudio(); }

ChildProcess PulseServer::start_logged(const std::vector<std::string>& argv, const std::string& log) const {
    ChildProcess::Options options;
    options.set_env = {{"XDG_RUNTIME_DIR", dir_ + "/run"}, {"HOME", dir_ + "/home"},
                       {"XDG_CONFIG_HOME", dir_ + "/config"}, {"PULSE_SERVER", "unix:" + socket_}};
    // A private server talks to no desktop: no session bus, and no X
    // display through which D-Bus would start one. It runs in a session of
    // its own, as a desktop's server does: in the test's, it would share the
    // processor with the busy programs a test brings, and fall behind them
    // with the stream.
    options.unset_env = {"DBUS_SESSION_BUS_ADDRESS", "DISPLAY"};
    options.own_session = true;
    std::string command = "exec";
    for (const std::string& word : argv)
        command += " '" + word + "'";
    return ChildProcess::start({"sh", "-c", command + " >> '" + dir_ + "/" + log + ".log' 2>&1"}, options);
}

bool PulseServer::answers(const std::string& what, ChildProcess& process) {
    if (process.started() && wait_until([&] { return !pactl("info").empty() || !process.running(); }) &&
        process.running())
        return true;
    std::ifstream log(dir_ + "/" + what + ".log");
    last_failure() = what + " did not start: " + std::string(std::istreambuf_iterator<char>(log), {});
    return false;
}

bool PulseServer::launch_pulseaudio() {
    socket_ = dir_ + "/native";
    // The module-suspend-on-idle of a desktop, with a one-second timeout.
    std::ofstream(dir_ + "/server.pa") << (with_sink_ ? "load-module module-null-sink sink_name=out rate=44100\n" : "")
                                       << "load-module module-native-protocol-unix auth-anonymous=1 socket="
                                       << socket_ << "\n"
                                       << "load-module module-suspend-on-idle timeout=1\n";
    server_ = start_logged({"pulseaudio", "--daemonize=no", "-n", "-F", dir_ + "/server.pa", "--exit-idle-time=-1",
                            "--use-pid-file=no", "--log-target=stderr"},
                           "pulseaudio");
    return answers("pulseaudio", server_);
}

PulseServer::~PulseServer() {
    kill_server();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

std::vector<std::pair<std::string, std::string>> PulseServer::client_env() const {
    return {{"PULSE_SERVER", "unix:" + socket_}, {"PULSE_CLIENTCONFIG", dir_ + "/client.conf"}};
}

void PulseServer::use_in_this_process() const {
    for (const auto& [name, value] : client_env())
        setenv(name.c_str(), value.c_str(), 1);
}

void PulseServer::kill_server() {
    recorder_.kill();
    pulse_.kill();
    session_.kill();
    server_.kill();
}

bool PulseServer::restart() {
    kill_server();
    return launch();
}

std::string PulseServer::pactl(const std::string& arguments) const {
    return run("PULSE_SERVER=unix:" + socket_ + " PULSE_CLIENTCONFIG=" + dir_ + "/client.conf pactl " + arguments +
               " 2>/dev/null");
}

std::string PulseServer::sink_state() const {
    // "0\tout\tmodule-null-sink.c\ts16le 2ch 44100Hz\tSUSPENDED"
    const std::string line = pactl("list short sinks");
    const size_t end = line.find_last_not_of("\n");
    if (end == std::string::npos) return "";
    const size_t tab = line.rfind('\t', end);
    return tab == std::string::npos ? "" : line.substr(tab + 1, end - tab);
}

std::string PulseServer::sink_inputs() const { return pactl("list sink-inputs"); }

bool PulseServer::start_recording() {
    recorder_.kill();
    std::error_code ignored;
    fs::remove(dir_ + "/heard.raw", ignored);
    ChildProcess::Options options;
    options.set_env = client_env();
    // The shortest latency parec gets: the file follows the sink closely,
    // and the null sink, which runs at its clients' shortest latency, takes
    // a new stream at once. It runs above the busy programs of a loaded
    // machine (where it may), in a session of its own, as the servers do:
    // what it takes down is what the sink played, not how the recorder kept
    // up.
    options.unset_env = {"PULSE_LATENCY_MSEC"};
    options.own_session = true;
    recorder_ = ChildProcess::start({"sh", "-c",
                                     "renice -n -15 $$ >/dev/null 2>&1; exec parec -d out.monitor --raw --format=s16le --rate=44100 --channels=2 "
                                     "--latency-msec=5 > '" +
                                         dir_ + "/heard.raw'"},
                                    options);
    return recorder_.started() && wait_until([&] { return recorded_frames() > 0; });
}

void PulseServer::stop_recording() { recorder_.kill(); }

size_t PulseServer::recorded_frames() const {
    std::error_code error;
    const auto bytes = fs::file_size(dir_ + "/heard.raw", error);
    return error ? 0 : size_t(bytes / 4);
}

std::vector<int16_t> PulseServer::recording() const {
    std::ifstream in(dir_ + "/heard.raw", std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<int16_t> samples(bytes.size() / 4 * 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
    return samples;
}

std::string PulseServer::keep_recording(const std::string& name) const {
    const std::string path = fs::temp_directory_path() / ("colonnade4-" + name + ".s16le-stereo-44100.raw");
    std::error_code ignored;
    fs::copy_file(dir_ + "/heard.raw", path, fs::copy_options::overwrite_existing, ignored);
    return path;
}

std::vector<size_t> onsets_after_silence(const std::vector<int16_t>& samples, size_t quiet_before, int16_t floor) {
    std::vector<size_t> onsets;
    // Silence before the recording counts as long enough; sound already
    // there when it starts is no onset.
    size_t quiet = quiet_before;
    for (size_t frame = 0; frame < samples.size() / 2; ++frame) {
        const bool sounding = std::abs(samples[2 * frame]) > floor || std::abs(samples[2 * frame + 1]) > floor;
        if (!sounding) {
            ++quiet;
            continue;
        }
        if (quiet >= quiet_before && frame > 0) onsets.push_back(frame);
        quiet = 0;
    }
    return onsets;
}

std::vector<Sound> sounds_in(const std::vector<int16_t>& samples, size_t quiet_after) {
    constexpr size_t GAP = PULSE_RATE / 500, END = PULSE_RATE / 20;
    const auto level = [&](size_t f) { return std::max(std::abs(samples[2 * f]), std::abs(samples[2 * f + 1])); };
    std::vector<Sound> sounds;
    size_t quiet = quiet_after;
    for (size_t f = 0; f < samples.size() / 2; ++f) {
        if (level(f) == 0) {
            ++quiet;
            continue;
        }
        if (quiet >= quiet_after) sounds.push_back({f, f, 0, 0, 0});
        quiet = 0;
        sounds.back().end = f;
        sounds.back().peak = std::max(sounds.back().peak, level(f));
    }
    for (Sound& sound : sounds) {
        // A gap where the sound was loud a moment before: a quiet tail's
        // samples round to zeros of their own.
        size_t run = 0;
        int before = 0;  // the sound's level a moment before, held for some 5 ms
        for (size_t f = sound.start; f <= sound.end; ++f)
            if (level(f) != 0) {
                run = 0;
                before = std::max(int(int64_t(before) * 219 / 220), level(f));
            } else if (++run == GAP && before > sound.peak / 100) {
                ++sound.gaps;
            }
        for (size_t f = sound.end + 1 - std::min(END, sound.end + 1 - sound.start); f <= sound.end; ++f)
            sound.end_peak = std::max(sound.end_peak, level(f));
    }
    return sounds;
}

}  // namespace e2e
