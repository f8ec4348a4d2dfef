// The double-buffered screen and the sprite store. Every surface is plain
// memory of 32-bit stored pixels 0x00RRGGBB; the backend only ever sees the
// finished back buffer, in present_frame.
#include "platform/screen.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/platform_internal.h"

namespace {

constexpr int INITIAL_SPRITE_ROOM = 50;
constexpr int MAX_SPRITE_SIDE = 65535;  // sizes are stored in 16 bits
constexpr uint64_t PRESENTS_PER_SECOND = 61;
constexpr uint64_t PRESENT_INTERVAL_US = 1000000 / PRESENTS_PER_SECOND;

struct Surface {
    std::vector<uint32_t> pixels;
    int width = 0;
    int height = 0;
    bool exists() const { return width > 0; }
};

struct ScreenState {
    bool service_ready = false;  // init_screen_system succeeded
    bool attached = false;       // open_window_screen succeeded
    Surface back_buffer;
    std::vector<Surface> sprites;  // indexed by SpriteId; empty entry = no sprite
    int blit_target = SCREEN_TARGET;
    DrawTarget sprite_target;  // at most one sprite open for drawing
    bool sprite_target_open = false;
    DrawTarget screen_target;
    bool screen_target_open = false;
    bool presented_before = false;
    uint64_t last_present_us = 0;
    // What changed on the back buffer since the last present; empty when
    // width is 0.
    PixelRect changed;
};

ScreenState screen;

void mark_changed(int x, int y, int width, int height) {
    PixelRect& c = screen.changed;
    if (c.width == 0) {
        c = {x, y, width, height};
        return;
    }
    const int right = std::max(c.x + c.width, x + width);
    const int bottom = std::max(c.y + c.height, y + height);
    c.x = std::min(c.x, x);
    c.y = std::min(c.y, y);
    c.width = right - c.x;
    c.height = bottom - c.y;
}

// Blend weights: W[i][j] = floor(i * 256 / floor(65280 / (j + 1))), close to
// i * (j + 1) / 255, so a blend needs two look-ups per channel. W[255][255]
// is 256, hence 16 bits.
uint16_t blend_weight[256][256];

void fill_blend_table() {
    for (int j = 0; j < 256; ++j) {
        const int divisor = 65280 / (j + 1);
        for (int i = 0; i < 256; ++i)
            blend_weight[i][j] = uint16_t(i * 256 / divisor);
    }
}

Surface* sprite(SpriteId id) {
    if (id < 0 || id >= int(screen.sprites.size())) return nullptr;
    Surface* s = &screen.sprites[size_t(id)];
    return s->exists() ? s : nullptr;
}

Surface* blit_surface() {
    if (!screen.attached) return nullptr;
    if (screen.blit_target == SCREEN_TARGET) return &screen.back_buffer;
    return sprite(screen.blit_target);
}

void point_target_at(DrawTarget* target, Surface* surface, SpriteId id) {
    target->pixels = surface->pixels.data();
    target->width = surface->width;
    target->height = surface->height;
    target->pitch = surface->width;
    target->id = id;
}

// Puts a new surface under an id; a drawing pass open on the old one follows it.
Surface* install_sprite(SpriteId id, Surface&& surface) {
    if (id >= int(screen.sprites.size()))
        screen.sprites.resize(std::max<size_t>(size_t(id) + 1, screen.sprites.size() * 2));
    Surface* slot = &screen.sprites[size_t(id)];
    *slot = std::move(surface);
    if (screen.sprite_target_open && screen.sprite_target.id == id) point_target_at(&screen.sprite_target, slot, id);
    return slot;
}

bool valid_sprite_size(SpriteId id, int width, int height) {
    return id >= 0 && width > 0 && height > 0 && width <= MAX_SPRITE_SIDE && height <= MAX_SPRITE_SIDE;
}

// The part of a w x h sprite at (x, y) that lands on the target, or false
// when none does.
struct ClippedBlit {
    int source_x, source_y;
    int dest_x, dest_y;
    int width, height;
};

bool clip_blit(const Surface& source, const Surface& target, int x, int y, ClippedBlit* out) {
    const int w = source.width, h = source.height;
    if (x >= target.width || y >= target.height || x <= -w || y <= -h) return false;
    const int visible_w = x + w > target.width ? target.width - x : w;
    const int visible_h = y + h > target.height ? target.height - y : h;
    out->source_x = std::max(0, -x);
    out->source_y = std::max(0, -y);
    out->dest_x = std::max(0, x);
    out->dest_y = std::max(0, y);
    out->width = visible_w - out->source_x;
    out->height = visible_h - out->source_y;
    return out->width > 0 && out->height > 0;
}

enum class BlitKind { Plain, Keyed, Blend };

void blit(SpriteId id, int x, int y, BlitKind kind, int opacity) {
    Surface* target = blit_surface();
    const Surface* found = sprite(id);
    if (target == nullptr || found == nullptr) return;
    // A sprite blitted onto itself reads from a copy, whatever the overlap.
    Surface copy;
    if (found == target) copy = *found;
    const Surface& source = found == target ? copy : *found;
    ClippedBlit c;
    if (!clip_blit(source, *target, x, y, &c)) return;
    if (target == &screen.back_buffer) mark_changed(c.dest_x, c.dest_y, c.width, c.height);

    for (int row = 0; row < c.height; ++row) {
        const uint32_t* s = &source.pixels[size_t(c.source_y + row) * size_t(source.width) + size_t(c.source_x)];
        uint32_t* d = &target->pixels[size_t(c.dest_y + row) * size_t(target->width) + size_t(c.dest_x)];
        switch (kind) {
        case BlitKind::Plain: std::memcpy(d, s, size_t(c.width) * sizeof(uint32_t)); break;
        case BlitKind::Keyed:
            for (int i = 0; i < c.width; ++i)
                if (s[i] != 0) d[i] = s[i];
            break;
        case BlitKind::Blend:
            for (int i = 0; i < c.width; ++i) {
                if (s[i] == 0) continue;
                uint32_t mixed = 0;
                for (int shift = 0; shift <= 16; shift += 8) {
                    const int sc = int((s[i] >> shift) & 0xFF);
                    const int dc = int((d[i] >> shift) & 0xFF);
                    const int v = blend_weight[sc][opacity] + blend_weight[dc][256 - opacity];
                    mixed |= uint32_t(std::min(v, 255)) << shift;
                }
                d[i] = mixed;
            }
            break;
        }
    }
}

}  // namespace

void mark_screen_changed() {
    if (screen.attached) mark_changed(0, 0, screen.back_buffer.width, screen.back_buffer.height);
}

bool init_screen_system() {
    PlatformBackend* backend = current_backend();
    if (backend == nullptr || !backend->init_screen()) return false;
    // Only now: starting the display may fork (D-Bus starts its daemon), and
    // a fork while another thread holds an allocator lock can leave the
    // child waiting for ever, and the game with it.
    prepare_fonts_early();
    static bool table_ready = false;
    if (!table_ready) {
        fill_blend_table();
        table_ready = true;
    }
    screen = ScreenState{};
    screen.sprites.resize(INITIAL_SPRITE_ROOM);
    screen.service_ready = true;
    return true;
}

bool open_window_screen(WindowHandle window, int, int, int width, int height, int, int, int) {
    PlatformBackend* backend = current_backend();
    if (!screen.service_ready || screen.attached || backend == nullptr || window == NO_WINDOW) return false;
    if (width <= 0 || height <= 0) return false;
    screen.back_buffer.width = width;
    screen.back_buffer.height = height;
    screen.back_buffer.pixels.assign(size_t(width) * size_t(height), 0);
    screen.changed = PixelRect{0, 0, width, height};
    screen.attached = true;
    screen.blit_target = SCREEN_TARGET;
    // Attaching the screen is what makes the window visible.
    show_window(window);
    return true;
}

void present_frame() {
    PlatformBackend* backend = current_backend();
    if (!screen.attached || backend == nullptr) return;
    if (screen.screen_target_open) {
        end_drawing_on(&screen.screen_target);
        screen.screen_target_open = false;
    }
    screen.blit_target = SCREEN_TARGET;
    // At most 61 presents a second: loops that present every step are
    // paced by this as well as by their own sleeps.
    if (screen.presented_before) {
        const uint64_t now = backend->now_us();
        const uint64_t earliest = screen.last_present_us + PRESENT_INTERVAL_US + 1;
        if (now < earliest) backend->sleep_us(earliest - now);
    }
    screen.last_present_us = backend->now_us();
    screen.presented_before = true;
    backend->present(screen.back_buffer.pixels.data(), screen.back_buffer.width, screen.back_buffer.height,
                     screen.changed);
    screen.changed = PixelRect{};
}

bool create_sprite(SpriteId id, int width, int height) {
    if (!screen.service_ready || !valid_sprite_size(id, width, height)) return false;
    Surface surface;
    surface.width = width;
    surface.height = height;
    surface.pixels.assign(size_t(width) * size_t(height), 0);
    install_sprite(id, std::move(surface));
    return true;
}

bool grab_sprite(SpriteId id, int x, int y, int width, int height) {
    const Surface* source = blit_surface();
    if (source == nullptr || !valid_sprite_size(id, width, height)) return false;
    Surface surface;
    surface.width = width;
    surface.height = height;
    surface.pixels.assign(size_t(width) * size_t(height), 0);
    // The game keeps the rectangle inside the source; a rectangle that
    // strays outside copies only the part inside and leaves the rest black
    // rather than reading past the surface.
    for (int row = 0; row < height; ++row) {
        const int sy = y + row;
        if (sy < 0 || sy >= source->height) continue;
        const int first = std::max(0, -x);
        const int last = std::min(width, source->width - x);
        if (first >= last) continue;
        std::memcpy(&surface.pixels[size_t(row) * size_t(width) + size_t(first)],
                    &source->pixels[size_t(sy) * size_t(source->width) + size_t(x + first)],
                    size_t(last - first) * sizeof(uint32_t));
    }
    install_sprite(id, std::move(surface));
    return true;
}

void set_blit_target(int target) {
    if (target == SCREEN_TARGET || sprite(target) != nullptr) screen.blit_target = target;
}

void blit_sprite(SpriteId id, int x, int y) { blit(id, x, y, BlitKind::Plain, 0); }

void blit_sprite_keyed(SpriteId id, int x, int y) { blit(id, x, y, BlitKind::Keyed, 0); }

void blend_sprite(SpriteId id, int x, int y, int opacity) {
    blit(id, x, y, BlitKind::Blend, std::clamp(opacity, 1, 255));
}

DrawTarget* sprite_draw_target(SpriteId id) {
    Surface* surface = sprite(id);
    if (surface == nullptr || screen.sprite_target_open) return nullptr;
    point_target_at(&screen.sprite_target, surface, id);
    screen.sprite_target_open = true;
    return &screen.sprite_target;
}

DrawTarget* screen_draw_target() {
    if (!screen.attached || screen.screen_target_open) return nullptr;
    point_target_at(&screen.screen_target, &screen.back_buffer, SCREEN_TARGET);
    screen.screen_target_open = true;
    // A drawing pass may touch any pixel; the passes of play are short.
    mark_screen_changed();
    return &screen.screen_target;
}

void release_draw_target(DrawTarget* target) {
    if (target == &screen.sprite_target) screen.sprite_target_open = false;
    if (target == &screen.screen_target) screen.screen_target_open = false;
}

const uint32_t* sprite_pixels(SpriteId id, int* width, int* height) {
    const Surface* s = sprite(id);
    if (width != nullptr) *width = s != nullptr ? s->width : 0;
    if (height != nullptr) *height = s != nullptr ? s->height : 0;
    return s != nullptr ? s->pixels.data() : nullptr;
}

const uint32_t* screen_pixels() { return screen.attached ? screen.back_buffer.pixels.data() : nullptr; }

void shutdown_screen() { screen = ScreenState{}; }
