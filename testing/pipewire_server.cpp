// PipeWire as Debian 12's desktop runs it, privately: the server, WirePlumber
// choosing the default sink and suspending idle ones, and pipewire-pulse
// for clients of the PulseAudio protocol. It runs as any user, root too,
// in its own runtime directory; without a session bus, WirePlumber is kept
// from the parts that need one (the desktop portal, the sound cards, and
// Bluetooth), which a null sink does not.
#include <filesystem>
#include <fstream>

#include "testing/pulse_server.h"

namespace e2e {

bool PulseServer::launch_pipewire() {
    namespace fs = std::filesystem;
    socket_ = dir_ + "/run/pulse/native";
    const std::string config = dir_ + "/config/wireplumber";
    fs::create_directories(config + "/main.lua.d");
    fs::create_directories(config + "/bluetooth.lua.d");
    std::ofstream(config + "/main.lua.d/90-enable-all.lua")
        << "load_module(\"metadata\")\n"
           "default_access.properties[\"enable-flatpak-portal\"] = false\n"
           "default_access.enable()\n"
           "device_defaults.enable()\n"
           "stream_defaults.enable()\n"
           "load_script(\"intended-roles.lua\")\n"
           "load_script(\"suspend-node.lua\")\n";
    std::ofstream(config + "/bluetooth.lua.d/90-enable-all.lua") << "\n";
    // A killed server leaves its socket behind: the others would find it
    // before the new server listens.
    std::error_code ignored;
    fs::remove(dir_ + "/run/pipewire-0", ignored);
    fs::remove(dir_ + "/run/pipewire-0.lock", ignored);
    fs::remove_all(dir_ + "/run/pulse", ignored);
    server_ = start_logged({"pipewire"}, "pipewire");
    if (!server_.started() || !wait_until([&] { return fs::exists(dir_ + "/run/pipewire-0") || !server_.running(); }) ||
        !server_.running()) {
        answers("pipewire", server_);
        return false;
    }
    session_ = start_logged({"wireplumber"}, "wireplumber");
    pulse_ = start_logged({"pipewire-pulse"}, "pipewire-pulse");
    if (!answers("pipewire-pulse", pulse_)) return false;
    // The sink idles for one second before WirePlumber suspends it, as the
    // PulseAudio server's does; a desktop's waits five.
    if (with_sink_ && (pactl("load-module module-null-sink sink_name=out rate=44100 "
                             "sink_properties=session.suspend-timeout-seconds=1")
                           .empty() ||
                       !wait_until([&] { return pactl("get-default-sink") == "out\n"; }) || !session_.running())) {
        answers("wireplumber", session_);
        return false;
    }
    return true;
}

}  // namespace e2e
