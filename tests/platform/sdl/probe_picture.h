// The picture the platform probe shows, shared by the probe (which draws it
// through the platform's drawing pass) and the tests (which expect it on the
// screen, pixel for pixel).
#pragma once
#include <cstdint>

namespace probe {

constexpr int WIDTH = 400;
constexpr int HEIGHT = 600;

struct Box {
    int x, y, width, height;
    int red, green, blue;
};

// Presses inside the zone are plain clicks; anywhere else they drag.
constexpr Box ZONE = {100, 250, 200, 100, 0, 160, 255};
// Pure primaries first: a swapped channel anywhere in the chain shows at once.
constexpr Box BOXES[] = {
    {40, 100, 80, 60, 255, 0, 0},
    {160, 100, 80, 60, 0, 255, 0},
    {280, 100, 80, 60, 0, 0, 255},
    {200, 500, 1, 1, 255, 255, 0},  // a single pixel
    ZONE,
};

// The probe's message box (key M): its caption and its words.
constexpr const char* BOX_CAPTION = "Problème";
constexpr const char* BOX_TEXT = "Aucun synthétiseur MIDI n'a pu être ouvert.";

inline bool inside(const Box& b, int x, int y) {
    return x >= b.x && x < b.x + b.width && y >= b.y && y < b.y + b.height;
}

// Red rises to the right, green downwards, blue along the diagonal.
constexpr int gradient_red(int x, int) { return x * 255 / (WIDTH - 1); }
constexpr int gradient_green(int, int y) { return y * 255 / (HEIGHT - 1); }
constexpr int gradient_blue(int x, int y) { return (x + y) & 0xFF; }

// The expected pixel (x, y) as 0x00RRGGBB; the last box drawn wins.
inline uint32_t expected_rgb(int x, int y) {
    int r = gradient_red(x, y), g = gradient_green(x, y), b = gradient_blue(x, y);
    for (const Box& box : BOXES) {
        if (inside(box, x, y)) {
            r = box.red;
            g = box.green;
            b = box.blue;
        }
    }
    return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

}  // namespace probe
