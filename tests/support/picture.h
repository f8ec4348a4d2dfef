// Pictures copied out of sprites or the back buffer, and pixel checks that
// name the pixel and both colours when they fail and keep the picture for
// a look (as a PPM file in the test's temporary folder).
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "game/game_window.h"
#include "platform/screen.h"

// Stored pixel (0x00RRGGBB) of a colour given as red, green, blue.
constexpr uint32_t rgb(int r, int g, int b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); }

inline std::string describe(uint32_t stored) {
    char text[32];
    std::snprintf(text, sizeof text, "(%u, %u, %u)", (stored >> 16) & 0xFF, (stored >> 8) & 0xFF, stored & 0xFF);
    return text;
}

struct Picture {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    Picture part(int x, int y, int w, int h) const {
        Picture p{{}, w, h};
        for (int row = y; row < y + h; ++row)
            for (int col = x; col < x + w; ++col)
                p.pixels.push_back(at(col, row));
        return p;
    }
    bool operator==(const Picture&) const = default;
};

inline Picture sprite_picture(SpriteId id) {
    Picture p;
    const uint32_t* pixels = sprite_pixels(id, &p.width, &p.height);
    if (pixels != nullptr) p.pixels.assign(pixels, pixels + size_t(p.width) * size_t(p.height));
    return p;
}

inline Picture screen_picture() {
    Picture p;
    p.width = WINDOW_WIDTH;
    p.height = WINDOW_HEIGHT;
    if (const uint32_t* pixels = screen_pixels()) p.pixels.assign(pixels, pixels + WINDOW_WIDTH * WINDOW_HEIGHT);
    return p;
}

// Pixels that differ between two pictures; a difference in size counts too.
inline int differing_pixels(const Picture& a, const Picture& b) {
    int n = 0;
    for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i)
        n += a.pixels[i] != b.pixels[i];
    return n + int(a.pixels.size() > b.pixels.size() ? a.pixels.size() - b.pixels.size()
                                                     : b.pixels.size() - a.pixels.size());
}

inline std::string current_test_name() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    return name;
}

// Writes the picture as a PPM in the test's temporary folder; returns its path.
inline std::string dump_picture(const Picture& p, const std::string& name) {
    const std::string file = ::testing::TempDir() + name + ".ppm";
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fprintf(f, "P6\n%d %d\n255\n", p.width, p.height);
        for (uint32_t v : p.pixels) {
            const unsigned char c[3] = {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
            std::fwrite(c, 1, 3, f);
        }
        std::fclose(f);
    }
    return file;
}

inline ::testing::AssertionResult pixel_is(const Picture& p, int x, int y, uint32_t expected) {
    if (x < 0 || y < 0 || x >= p.width || y >= p.height)
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is outside the picture";
    const uint32_t actual = p.at(x, y);
    if (actual == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << describe(actual) << ", expected "
                                         << describe(expected) << " (picture dumped to "
                                         << dump_picture(p, current_test_name()) << ")";
}
