#include "testing/desktop_session.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace e2e {

void set_screen_saver_timeout(XvfbSession& x, int seconds) {
    XSetScreenSaver(x.display(), seconds, 0, PreferBlanking, AllowExposures);
    XSync(x.display(), False);
}

bool screen_saver_on(XvfbSession& x) {
    XScreenSaverInfo info{};
    return XScreenSaverQueryInfo(x.display(), DefaultRootWindow(x.display()), &info) && info.state == ScreenSaverOn;
}

namespace {

std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

std::vector<pid_t> processes_on_display(const std::string& display_name) {
    std::vector<pid_t> found;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return found;
    const std::string exact = "DISPLAY=" + display_name, screen = exact + ".";
    while (const dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != 0) continue;
        const std::string environment = file_text("/proc/" + std::string(entry->d_name) + "/environ");
        for (size_t at = 0; at < environment.size();) {
            const size_t stop = std::min(environment.find('\0', at), environment.size());
            const std::string item = environment.substr(at, stop - at);
            if (item == exact || item.rfind(screen, 0) == 0) {
                found.push_back(pid_t(pid));
                break;
            }
            at = stop + 1;
        }
    }
    closedir(proc);
    return found;
}

std::string command_line(pid_t pid) {
    std::string text = file_text("/proc/" + std::to_string(pid) + "/cmdline");
    for (char& c : text)
        if (c == '\0') c = ' ';
    return text;
}

}  // namespace e2e
