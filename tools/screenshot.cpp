// colonnade4-screenshot OUTFILE: the picture of the game in play that the
// README shows.
//
// Runs the real game on a private Xvfb, starts a game at "Moyen" and plays
// a few moves with the keys as a person would: set columns, unless the
// game's own search, looking from the human side, sees one of them lose.
// When the banner "A toi de jouer !" stands at its brightest it writes the
// window alone as an RGBA PNG, transparent outside its rounded shape.
//
// Every step waits for what it needs to see on the screen; nothing sleeps.
#include <png.h>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "art/artwork.h"
#include "art/shade_canvas.h"
#include "art/sprite_ids.h"
#include "game/game_state.h"
#include "game/game_window.h"
#include "game/hot_zones.h"
#include "platform/backend.h"
#include "platform/headless/headless.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "rules/board.h"
#include "rules/search.h"
#include "testing/xvfb_session.h"

namespace {

constexpr int SCREEN_W = 1280, SCREEN_H = 1024;
constexpr uint32_t ROOT_COLOUR = 0x808080;
// The columns the human would like to play, for a picture with some spread.
constexpr int PREFERRED_COLUMNS[] = {3, 2, 4};
// How far the search looks when it plays for the human: as far as "Maître".
constexpr int HUMAN_LOOKAHEAD = LEVEL_MAITRE;

// Board geometry in the window: the disc of cell (column, row) is blitted at
// (30 + 50 column, 255 + 50 row).
constexpr int DISC_LEFT = 30, DISC_TOP = 255, CELL = 50;
constexpr int DISC_CENTRE = 20;  // of the 41 x 41 disc sprite
// "Moyen": where to press it, and a point that lights up under the pointer.
constexpr const LevelButton& MOYEN = LEVEL_BUTTONS[1];
constexpr int MOYEN_X = 81, MOYEN_Y = 131, MOYEN_PROBE_X = 40, MOYEN_PROBE_Y = 135;
// A place of the window that is no active zone, to rest the pointer on.
constexpr int REST_X = 200, REST_Y = 60;
// The flat board beside the message area: shown once the first picture is.
constexpr int FIRST_PICTURE_X = 360, FIRST_PICTURE_Y = 225;

// The game's own pictures, built headless in this process, so the tool
// recognises what the game draws whatever colours the artwork uses.
struct Art {
    std::vector<uint32_t> backdrop;  // 400 x 600
    uint32_t moyen_hover_probe = 0;
    uint32_t human_disc = 0, cpu_disc = 0;  // disc centres
    uint32_t at(int x, int y) const { return backdrop[size_t(y) * WINDOW_WIDTH + size_t(x)]; }
};

bool build_art(Art& art) {
    init_platform(headless_backend());
    create_hot_zones();
    create_shade_canvas();
    bool ok = init_screen_system();
    const WindowHandle window =
        open_window(0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, WF_POPUP | WF_START_HIDDEN | WF_CENTRE_ON_SCREEN, "Colonnade4");
    ok = ok && open_window_screen(window, 0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, 0, 0, 0);
    if (ok) {
        build_artwork();
        int w = 0, h = 0;
        const uint32_t* pixels = sprite_pixels(SPRITE_BACKDROP, &w, &h);
        ok = pixels && w == WINDOW_WIDTH && h == WINDOW_HEIGHT;
        if (ok) art.backdrop.assign(pixels, pixels + size_t(w) * size_t(h));
        pixels = sprite_pixels(MOYEN.hover, &w, &h);
        ok = ok && pixels;
        if (ok) art.moyen_hover_probe = pixels[(MOYEN_PROBE_Y - MOYEN.well_y) * w + (MOYEN_PROBE_X - MOYEN.well_x)];
        pixels = sprite_pixels(SPRITE_DISC_HUMAN, &w, &h);
        ok = ok && pixels;
        if (ok) art.human_disc = pixels[DISC_CENTRE * w + DISC_CENTRE];
        pixels = sprite_pixels(SPRITE_DISC_CPU, &w, &h);
        ok = ok && pixels;
        if (ok) art.cpu_disc = pixels[DISC_CENTRE * w + DISC_CENTRE];
    }
    shutdown_platform();
    free_hot_zones();
    free_shade_canvas();
    return ok;
}

struct Session {
    e2e::XvfbSession& x;
    e2e::Rect window;
    const Art& art;

    uint32_t pixel(int wx, int wy) { return x.pixel(window.x + wx, window.y + wy); }
    e2e::Image shot() { return x.screenshot({window.x, window.y, WINDOW_WIDTH, WINDOW_HEIGHT}); }
};

// The position as the window shows it.
Board read_board(const e2e::Image& shot, const Art& art) {
    Board board{};
    for (int column = 0; column < BOARD_COLUMNS; ++column)
        for (int row = 0; row < BOARD_ROWS; ++row) {
            const uint32_t rgb = shot.at(DISC_LEFT + CELL * column + DISC_CENTRE, DISC_TOP + CELL * row + DISC_CENTRE);
            board.cells[cell_index(column, row)] = rgb == art.human_disc ? CELL_HUMAN
                                                   : rgb == art.cpu_disc ? CELL_CPU
                                                                         : CELL_EMPTY;
        }
    return board;
}

int count_discs(const Board& board, int8_t side) {
    int n = 0;
    for (int8_t cell : board.cells)
        n += cell == side;
    return n;
}

bool human_to_move(const e2e::Image& shot, const Art& art) {
    return shot.at(TURN_DISC_X + DISC_CENTRE, TURN_DISC_Y + DISC_CENTRE) == art.human_disc;
}

// The human's move: the preferred column, unless the computer's search, run
// on the board with the sides swapped, sees it lose within its lookahead.
int human_column(const Board& board, int preferred) {
    Board swapped = board;
    for (int8_t& cell : swapped.cells)
        cell = cell == CELL_HUMAN ? CELL_CPU : cell == CELL_CPU ? CELL_HUMAN : CELL_EMPTY;
    const MoveAnalysis analysis = analyse_board(&swapped, HUMAN_LOOKAHEAD);
    const bool safe = analysis.kind[preferred] == CANDIDATE_VALUE && analysis.value[preferred] > -SCORE_WIN;
    return safe ? preferred : analysis.column;
}

// How strongly the message area differs from the empty one: grows with the
// banner's opacity.
long banner_strength(const e2e::Image& shot, const Art& art) {
    long sum = 0;
    for (int y = MESSAGE_AREA_Y; y < MESSAGE_AREA_Y + MESSAGE_AREA_HEIGHT; ++y)
        for (int x = MESSAGE_AREA_X; x < MESSAGE_AREA_X + MESSAGE_AREA_WIDTH; ++x) {
            const uint32_t a = shot.at(x, y), b = art.at(x, y);
            for (int shift = 0; shift < 24; shift += 8)
                sum += std::labs(long((a >> shift) & 0xFF) - long((b >> shift) & 0xFF));
        }
    return sum;
}

bool write_rgba_png(const std::string& path, const e2e::Image& shot, const std::vector<e2e::Rect>& shape) {
    std::vector<png_byte> rgba(size_t(shot.width) * size_t(shot.height) * 4, 0);
    for (const e2e::Rect& r : shape)
        for (int y = std::max(r.y, 0); y < std::min(r.y + r.height, shot.height); ++y)
            for (int x = std::max(r.x, 0); x < std::min(r.x + r.width, shot.width); ++x) {
                const uint32_t v = shot.at(x, y);
                png_byte* out = &rgba[(size_t(y) * size_t(shot.width) + size_t(x)) * 4];
                out[0] = png_byte(v >> 16);
                out[1] = png_byte(v >> 8);
                out[2] = png_byte(v);
                out[3] = 255;
            }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(shot.width);
    image.height = png_uint_32(shot.height);
    image.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
}

int fail(const char* what) {
    std::fprintf(stderr, "colonnade4-screenshot: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: colonnade4-screenshot OUTFILE.png\n");
        return 2;
    }
    Art art;
    if (!build_art(art)) return fail("the artwork could not be built");

    auto x = e2e::XvfbSession::start(SCREEN_W, SCREEN_H);
    if (!x) return fail("Xvfb could not be started");
    x->set_root_colour(ROOT_COLOUR);
    e2e::ChildProcess::Options options;
    options.set_env = {{"SDL_AUDIODRIVER", "dummy"}};  // a synthesiser without a sound card
    e2e::ChildProcess game = x->spawn({COLONNADE4_PATH}, options);
    const auto id = x->wait_for_window("Colonnade4");
    if (!id || !e2e::wait_until([&] { return x->window_viewable(*id); })) return fail("no game window");
    const auto geometry = x->window_geometry(*id);
    if (!geometry || geometry->width != WINDOW_WIDTH || geometry->height != WINDOW_HEIGHT) return fail("no 400 x 600 window");
    Session s{*x, *geometry, art};
    if (!e2e::wait_until(
            [&] { return s.pixel(FIRST_PICTURE_X, FIRST_PICTURE_Y) == art.at(FIRST_PICTURE_X, FIRST_PICTURE_Y); }))
        return fail("the game showed no picture");

    // "Moyen": hover until the button lights up, press, then rest the
    // pointer where it lights nothing.
    x->move_pointer(s.window.x + MOYEN_X - 1, s.window.y + MOYEN_Y - 1);
    x->move_pointer(s.window.x + MOYEN_X, s.window.y + MOYEN_Y);
    if (!e2e::wait_until([&] { return s.pixel(MOYEN_PROBE_X, MOYEN_PROBE_Y) == art.moyen_hover_probe; }))
        return fail("the Moyen button never lit up");
    x->press_button();
    x->release_button();
    if (!e2e::wait_until([&] { return human_to_move(s.shot(), art); })) return fail("no game started");
    // The opener alternates from game to game: when the computer opened this
    // one, a second press makes the human open, so the picture is always the same.
    if (count_discs(read_board(s.shot(), art), CELL_CPU) > 0) {
        x->press_button();
        x->release_button();
        const bool empty = e2e::wait_until([&] {
            const e2e::Image shot = s.shot();
            return human_to_move(shot, art) && count_discs(read_board(shot, art), CELL_CPU) == 0;
        });
        if (!empty) return fail("no second game started");
    }
    x->move_pointer(s.window.x + REST_X, s.window.y + REST_Y);
    if (!e2e::wait_until([&] { return s.pixel(MOYEN_PROBE_X, MOYEN_PROBE_Y) == art.at(MOYEN_PROBE_X, MOYEN_PROBE_Y); }))
        return fail("the Moyen button stayed lit");

    for (int preferred : PREFERRED_COLUMNS) {
        const Board before = read_board(s.shot(), art);
        const int humans = count_discs(before, CELL_HUMAN), cpus = count_discs(before, CELL_CPU);
        const int column = human_column(before, preferred);
        if (column < 0) return fail("no column to play");
        x->tap_key(XK_1 + e2e::KeySymbol(column));
        // Done when both discs have landed and the turn has come back.
        const bool replied = e2e::wait_until([&] {
            const e2e::Image shot = s.shot();
            const Board now = read_board(shot, art);
            return human_to_move(shot, art) && count_discs(now, CELL_HUMAN) == humans + 1 &&
                   count_discs(now, CELL_CPU) == cpus + 1;
        });
        if (!replied) return fail("the computer did not reply");
    }

    // The banner swells and fades: wait for it to be growing, then keep the
    // brightest picture until it has clearly faded again.
    long previous = banner_strength(s.shot(), art);
    const bool rising = e2e::wait_until([&] {
        const long strength = banner_strength(s.shot(), art);
        const bool up = strength > previous;
        previous = strength;
        return up;
    });
    if (!rising) return fail("the banner never blinked");
    e2e::Image best = s.shot();
    long best_strength = banner_strength(best, art);
    const bool faded = e2e::wait_until([&] {
        e2e::Image shot = s.shot();
        const long strength = banner_strength(shot, art);
        if (strength > best_strength) {
            best = std::move(shot);
            best_strength = strength;
        }
        return strength * 5 < best_strength * 4;
    });
    if (!faded) return fail("the banner never faded");

    if (!write_rgba_png(argv[1], best, x->window_shape(*id))) return fail("cannot write the picture");
    x->tap_key(XK_Escape);
    game.wait_exit();
    std::printf("%s\n", argv[1]);
    return 0;
}
