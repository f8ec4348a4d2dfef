#include "testing/process_status.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

double process_status_value(pid_t pid, const char* key) {
    std::ifstream status(pid == 0 ? std::string("/proc/self/status") : "/proc/" + std::to_string(pid) + "/status");
    const size_t key_length = std::strlen(key);
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, key_length, key) == 0 && line.size() > key_length && line[key_length] == ':')
            return std::strtod(line.c_str() + key_length + 1, nullptr);
    return -1;
}
