// colonnade4-sprites: the artwork as PNG files, and its start-up cost.
//
//     colonnade4-sprites OUTDIR   writes sprite-01.png, sprite-03.png ..
//                                 sprite-15.png and icon-16.png .. icon-256.png
//     colonnade4-sprites --bench  times the whole artwork build, text included
//
// Runs the same build as the game, on the headless platform, so what it
// writes is what the game shows. The packaging installs the icons.
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "art/artwork.h"
#include "art/icon.h"
#include "art/shade_canvas.h"
#include "game/game_window.h"
#include "game/hot_zones.h"
#include "platform/headless/headless.h"
#include "platform/screen.h"
#include "platform/window.h"

namespace {

constexpr int BENCH_RUNS = 30;

// Sprites are written as RGB, their stored colours unchanged. Icons go to
// the desktop, which knows nothing of black meaning transparent: they are
// written as RGBA, the same colours with black made fully transparent.
enum class Alpha { None, BlackIsTransparent };

bool write_png(const std::string& path, const uint32_t* pixels, int width, int height, Alpha alpha) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        std::fclose(file);
        return false;
    }
    const int channels = alpha == Alpha::None ? 3 : 4;
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, alpha == Alpha::None ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(size_t(width) * channels);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t v = pixels[size_t(y) * width + x];
            png_byte* out = &row[size_t(x) * channels];
            out[0] = png_byte(v >> 16);
            out[1] = png_byte(v >> 8);
            out[2] = png_byte(v);
            if (channels == 4) out[3] = v == 0 ? 0 : 255;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

// The game's own start-up, as far as the artwork needs it.
bool start_platform() {
    init_platform(headless_backend());
    create_hot_zones();
    create_shade_canvas();
    if (!init_screen_system()) return false;
    const WindowHandle window =
        open_window(0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, WF_POPUP | WF_START_HIDDEN | WF_CENTRE_ON_SCREEN, "Colonnade4");
    return open_window_screen(window, 0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, 0, 0, 0);
}

void stop_platform() {
    shutdown_platform();
    free_hot_zones();
    free_shade_canvas();
}

int export_sprites(const std::string& out_dir) {
    std::error_code error;
    std::filesystem::create_directories(out_dir, error);
    if (!start_platform()) {
        std::fprintf(stderr, "colonnade4-sprites: no screen\n");
        return 1;
    }
    build_artwork();
    int failures = 0;
    for (SpriteId id : ARTWORK_SPRITES) {
        int width = 0;
        int height = 0;
        const uint32_t* pixels = sprite_pixels(id, &width, &height);
        char name[32];
        std::snprintf(name, sizeof name, "/sprite-%02d.png", id);
        if (!pixels || !write_png(out_dir + name, pixels, width, height, Alpha::None)) {
            std::fprintf(stderr, "colonnade4-sprites: cannot write %s%s\n", out_dir.c_str(), name);
            ++failures;
        }
    }
    for (int size : ICON_SIZES) {
        std::vector<uint32_t> icon;
        build_window_icon(size, icon);
        const std::string path = out_dir + "/icon-" + std::to_string(size) + ".png";
        if (!write_png(path, icon.data(), size, size, Alpha::BlackIsTransparent)) {
            std::fprintf(stderr, "colonnade4-sprites: cannot write %s\n", path.c_str());
            ++failures;
        }
    }
    stop_platform();
    return failures == 0 ? 0 : 1;
}

// Wall-clock and processor time of one build, in milliseconds.
struct Timing {
    double wall_ms;
    double cpu_ms;
};

double process_cpu_ms() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Each run is a fresh start-up, so every font is loaded again as the game
// loads it; only build_artwork itself is timed. False without a screen.
bool time_builds(const ArtworkOptions& options, std::vector<Timing>& timings) {
    for (int run = 0; run < BENCH_RUNS; ++run) {
        if (!start_platform()) return false;
        const auto start = std::chrono::steady_clock::now();
        const double cpu_start = process_cpu_ms();
        build_artwork(options);
        const double cpu_end = process_cpu_ms();
        const auto end = std::chrono::steady_clock::now();
        timings.push_back({std::chrono::duration<double, std::milli>(end - start).count(), cpu_end - cpu_start});
        stop_platform();
    }
    return true;
}

void report(const char* what, const std::vector<Timing>& timings) {
    std::vector<double> wall, cpu;
    for (const Timing& t : timings) {
        wall.push_back(t.wall_ms);
        cpu.push_back(t.cpu_ms);
    }
    std::printf("%s median_ms %.2f (processor %.2f)\n", what, median(wall), median(cpu));
}

// The first line is the figure that counts: the game's own build, text
// included. The others tell where the time goes. On a busy machine the
// processor time is the steadier figure.
int bench() {
    std::vector<Timing> game, no_text, plain;
    ArtworkOptions without_text;
    without_text.with_text = false;
    ArtworkOptions reference;
    reference.shading = ShadeMethod::Plain;
    if (!time_builds(ArtworkOptions{}, game) || !time_builds(without_text, no_text) || !time_builds(reference, plain)) {
        std::fprintf(stderr, "colonnade4-sprites: no screen\n");
        return 1;
    }
    report("artwork", game);
    std::printf("artwork first_run_ms %.2f\n", game.front().wall_ms);
    report("artwork without_text", no_text);
    report("artwork plain_shading", plain);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--bench") == 0) return bench();
    if (argc == 2 && argv[1][0] != '-') return export_sprites(argv[1]);
    std::fprintf(stderr, "usage: colonnade4-sprites OUTDIR | --bench\n");
    return 2;
}
