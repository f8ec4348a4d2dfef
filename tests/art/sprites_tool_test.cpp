#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct PngHeader {
    bool valid = false;
    int width = 0, height = 0, bit_depth = 0, colour_type = 0;
};

PngHeader read_header(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<unsigned char> bytes(33);
    PngHeader h;
    if (!in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()))) return h;
    const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto word = [&](int at) { return bytes[at] << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3]; };
    h.valid = std::equal(signature, signature + 8, bytes.begin()) && std::string(&bytes[12], &bytes[16]) == "IHDR";
    h.width = word(16);
    h.height = word(20);
    h.bit_depth = bytes[24];
    h.colour_type = bytes[25];
    return h;
}

TEST(SpritesToolTest, WritesEverySpriteAndIconAsPng) {
    const auto dir = std::filesystem::temp_directory_path() / ("colonnade4-sprites-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    const std::string command = std::string(SPRITES_TOOL_PATH) + " " + dir.string();
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    struct Expected {
        const char* name;
        int width, height, colour_type;  // 2 RGB, 6 RGBA
    };
    const Expected files[] = {
        {"sprite-01.png", 400, 600, 2}, {"sprite-03.png", 41, 41, 2},  {"sprite-04.png", 41, 41, 2},
        {"sprite-05.png", 250, 50, 2},  {"sprite-06.png", 106, 36, 2}, {"sprite-11.png", 106, 36, 2},
        {"sprite-12.png", 250, 50, 2},  {"sprite-15.png", 250, 50, 2}, {"icon-16.png", 16, 16, 6},
        {"icon-32.png", 32, 32, 6},     {"icon-48.png", 48, 48, 6},    {"icon-64.png", 64, 64, 6},
        {"icon-128.png", 128, 128, 6},  {"icon-256.png", 256, 256, 6},
    };
    for (const Expected& f : files) {
        const PngHeader h = read_header(dir / f.name);
        ASSERT_TRUE(h.valid) << f.name;
        EXPECT_EQ(h.width, f.width) << f.name;
        EXPECT_EQ(h.height, f.height) << f.name;
        EXPECT_EQ(h.bit_depth, 8) << f.name;
        EXPECT_EQ(h.colour_type, f.colour_type) << f.name;
    }
    int sprites = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        sprites += entry.path().filename().string().starts_with("sprite-");
    EXPECT_EQ(sprites, 14);  // 1 and 3 to 15
    std::filesystem::remove_all(dir);
}

TEST(SpritesToolTest, RefusesAMissingArgument) {
    const std::string command = std::string(SPRITES_TOOL_PATH) + " > /dev/null 2>&1";
    EXPECT_NE(std::system(command.c_str()), 0);
}

}  // namespace
