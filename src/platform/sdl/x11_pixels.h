// Stored pixels (0x00RRGGBB) as a true-colour visual's own pixel values:
// each 8-bit channel scaled to the width of its mask and shifted into it, so
// that it reads back as on 24 bits to within the display's own step. Used
// where the game draws through Xlib itself: the message box, and the frame
// on displays SDL has no surface for.
#pragma once
#include <X11/Xlib.h>

#include <cstdint>

class VisualPixels {
public:
    explicit VisualPixels(const Visual& visual) {
        fill(red_, visual.red_mask);
        fill(green_, visual.green_mask);
        fill(blue_, visual.blue_mask);
    }
    unsigned long operator()(uint32_t stored) const {
        return red_[stored >> 16 & 0xFF] | green_[stored >> 8 & 0xFF] | blue_[stored & 0xFF];
    }

private:
    static void fill(unsigned long* table, unsigned long mask) {
        int shift = 0;
        while (shift < 32 && ((mask >> shift) & 1u) == 0)
            ++shift;
        const unsigned long top = shift < 32 ? mask >> shift : 0;
        for (unsigned long v = 0; v < 256; ++v)
            table[v] = ((v * top + 127) / 255) << shift;
    }
    unsigned long red_[256] = {}, green_[256] = {}, blue_[256] = {};
};
