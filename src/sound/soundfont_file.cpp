#include "sound/soundfont_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace {

uint32_t read_le32(const unsigned char* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

}  // namespace

bool looks_like_soundfont(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat about {};
    unsigned char header[12];
    const bool complete = ::fstat(fd, &about) == 0 && S_ISREG(about.st_mode) &&
                          ::read(fd, header, sizeof header) == ssize_t(sizeof header);
    ::close(fd);
    return complete && std::memcmp(header, "RIFF", 4) == 0 && std::memcmp(header + 8, "sfbk", 4) == 0 &&
           uint64_t(read_le32(header + 4)) + 8 <= uint64_t(about.st_size);
}
