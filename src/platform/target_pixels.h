// The pixels of a draw target, as the platform core draws them itself: the
// drawing pass's lines and boxes, the text's glyphs and the message box's
// picture. (The screen's blend_sprite mixes whole sprites by its own
// weight table instead.)
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "platform/screen.h"

// The pixel at (x, y), or none outside the target.
inline uint32_t* target_pixel(const DrawTarget& target, int x, int y) {
    if (x < 0 || y < 0 || x >= target.width || y >= target.height) return nullptr;
    return &target.pixels[size_t(y) * size_t(target.pitch) + size_t(x)];
}

// Lays a stored colour over a pixel at a coverage from 0 (nothing) to 255
// (the colour alone), each channel rounded to the nearest: how an
// anti-aliased glyph meets what lies under it.
inline void cover_pixel(const DrawTarget& target, int x, int y, uint32_t stored, int coverage) {
    uint32_t* d = coverage > 0 ? target_pixel(target, x, y) : nullptr;
    if (d == nullptr) return;
    if (coverage >= 255) {
        *d = stored;
        return;
    }
    uint32_t mixed = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int s = int((stored >> shift) & 0xFF), t = int((*d >> shift) & 0xFF);
        mixed |= uint32_t((s * coverage + t * (255 - coverage) + 127) / 255) << shift;
    }
    *d = mixed;
}

// The part of a rectangle that lies on the target, in one stored colour,
// whole rows at a time.
inline void fill_rect(const DrawTarget& target, int x, int y, int width, int height, uint32_t stored) {
    const int left = std::max(x, 0), right = std::min(x + width, target.width);
    for (int row = std::max(y, 0); row < std::min(y + height, target.height) && left < right; ++row)
        std::fill_n(&target.pixels[size_t(row) * size_t(target.pitch) + size_t(left)], right - left, stored);
}
