#include "game/main_loop.h"

#include <array>
#include <iterator>
#include <vector>

#include "art/artwork.h"
#include "art/icon.h"
#include "art/shade_canvas.h"
#include "game/board_view.h"
#include "game/game_state.h"
#include "game/game_window.h"
#include "game/hot_zones.h"
#include "game/turn_sequence.h"
#include "platform/record_list.h"
#include "platform/screen.h"
#include "rules/board.h"
#include "rules/search.h"
#include "sound/midi.h"
#include "sound/tunes.h"

WindowHandle game_window = NO_WINDOW;

namespace {

constexpr uint32_t WINDOW_FLAGS = WF_POPUP | WF_START_HIDDEN | WF_CENTRE_ON_SCREEN;
constexpr const char* WINDOW_TITLE = "Colonnade4";
// The rounded outline: corner ellipses of 100 x 100, matching the board
// slab's corner radius of 50.
constexpr int WINDOW_CORNER = 100;
constexpr int TIMER_PERIOD_MS = 50;
// What task bars, switchers and menus ask for, up to high-resolution screens.
constexpr int WINDOW_ICON_SIZES[] = {16, 32, 48, 64, 128};

constexpr int8_t BANNER_FIRST_STEP = 10;

// A press at x on the board means column (x - 30) / 50.
constexpr int BOARD_PRESS_LEFT = 30;
constexpr int BOARD_PRESS_COLUMN_WIDTH = 50;

void show_zone_look(int32_t zone, bool hovered) {
    if (zone == ZONE_CLOSE) {
        draw_close_button(hovered ? 1 : 0);
        present_frame();
        return;
    }
    for (const LevelButton& button : LEVEL_BUTTONS)
        if (button.zone == zone) {
            blit_sprite(hovered ? button.hover : button.normal, button.well_x, button.well_y);
            present_frame();
        }
    // The board changes only the pointer.
}

// Every zone is visited on every move; a zone is entered only from
// ZONE_NONE, so passing straight from one zone into an earlier one enters
// it on the next move.
void update_hover() {
    const int x = mouse_x();
    const int y = mouse_y();
    list_rewind(hot_zones);
    while (const HotZone* zone = static_cast<const HotZone*>(list_next(hot_zones))) {
        const bool inside = zone_contains(x, y) != 0;
        if (inside && game.hover_zone == ZONE_NONE) {
            set_window_cursor(game_window, CURSOR_HAND);
            game.hover_zone = zone->id;
            show_zone_look(zone->id, true);
        } else if (!inside && game.hover_zone == zone->id) {
            game.hover_zone = ZONE_NONE;
            set_window_cursor(game_window, CURSOR_ARROW);
            show_zone_look(zone->id, false);
        }
    }
}

void human_move(int column) {
    if (count_free_cells(&game.game_board, column) == 0) return;
    play_move(column, CELL_HUMAN);
    finish_human_turn();
}

void handle_key(intptr_t key) {
    if (game.game_over != 0) return;
    if (key >= KEY_DIGIT_1 && key < KEY_DIGIT_1 + BOARD_COLUMNS) human_move(int(key - KEY_DIGIT_1));
    if (key >= KEY_NUMPAD_1 && key < KEY_NUMPAD_1 + BOARD_COLUMNS) human_move(int(key - KEY_NUMPAD_1));
}

void start_level(int32_t level) {
    game.current_level = level;
    new_game();
}

// Acts on the zone of the last hover update: no hit test here, and the
// column comes from the pointer's x now, not where the press happened.
// Returns false for the close cross.
bool handle_press() {
    const int x = mouse_x();
    switch (game.hover_zone) {
    case ZONE_CLOSE: return false;
    case ZONE_BOARD:
        // Outside the window x reads -1, which the formula would turn into
        // the first column: the player pointed at no column then.
        if (game.game_over == 0 && x >= 0) {
            const int column = (x - BOARD_PRESS_LEFT) / BOARD_PRESS_COLUMN_WIDTH;
            if (column >= 0 && column < BOARD_COLUMNS) human_move(column);
        }
        return true;
    case ZONE_NOVICE: start_level(LEVEL_NOVICE); return true;
    case ZONE_MOYEN: start_level(LEVEL_MOYEN); return true;
    case ZONE_MAITRE: start_level(LEVEL_MAITRE); return true;
    default: begin_window_drag(game_window); return true;
    }
}

using IconSizes = std::array<std::vector<uint32_t>, std::size(WINDOW_ICON_SIZES)>;

// Drawn on the artwork's canvas, which is then no longer needed.
IconSizes draw_icon_sizes() {
    IconSizes pixels;
    for (size_t i = 0; i < pixels.size(); ++i)
        build_window_icon(WINDOW_ICON_SIZES[i], pixels[i], process_canvas());
    return pixels;
}

void set_icon_sizes(const IconSizes& pixels) {
    IconPicture pictures[std::size(WINDOW_ICON_SIZES)];
    for (size_t i = 0; i < pixels.size(); ++i)
        pictures[i] = {pixels[i].data(), WINDOW_ICON_SIZES[i], WINDOW_ICON_SIZES[i]};
    set_window_icons(game_window, pictures, int(pixels.size()));
}

}  // namespace

bool repaint_hook(WindowHandle window, int32_t message, intptr_t, intptr_t) {
    if (message == EV_PAINT) {
        set_window_shape(window, WINDOW_WIDTH, WINDOW_HEIGHT, WINDOW_CORNER, WINDOW_CORNER);
        redraw_board_view();
        present_frame();
    }
    return false;  // the platform's own handling always follows
}

// The order matters: the screen before the window, the window before the
// artwork (which needs the screen attached), the window's picture before the
// hook (which draws with it), the first picture on the screen before anything
// it does not need: the banners, the window icon's drawing, the sound device
// (whose box, if any, then stands over the painted window), the soundfont's
// load and the icon's setting.
bool start_game(PlatformBackend* backend, MidiDevice* midi_device) {
    // A clean record and platform.
    game = GameState{};
    init_platform(backend);
    midi_use_device(midi_device);
    create_hot_zones();
    create_shade_canvas();

    // No screen: end at once, silently.
    if (!init_screen_system()) {
        shut_down_game();
        return false;
    }
    game_window = open_window(0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, WINDOW_FLAGS, WINDOW_TITLE);
    open_window_screen(game_window, 0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, 0, 0, 0);
    start_timer(game_window, TIMER_PERIOD_MS);
    game.banner_alpha = 0;
    game.banner_step = BANNER_FIRST_STEP;

    // Registers the three level buttons' zones as it draws them.
    build_window_picture();
    add_hot_zone(ZONE_CLOSE, 350, 27, 370, 47);
    add_hot_zone(ZONE_BOARD, 30, 255, 370, 555);

    // The first repaint draws the view; it is taken now, so that all that
    // follows comes after the picture is on the screen.
    set_window_handler(repaint_hook);
    show_window(game_window);
    update_window(game_window);
    // The banners: no event reaches the game before they are made, and
    // nothing shows them until a level is chosen.
    build_play_pictures();
    // The last use of the canvas; it and all else only start-up needed go
    // before the synthesiser loads, so that the two never weigh together.
    const IconSizes icons = draw_icon_sizes();
    free_shade_canvas();
    return_free_memory();

    // Opening starts the soundfont's load beside the game's thread.
    midi_open();
    set_instruments();
    set_icon_sizes(icons);

    // No game until a level button is pressed.
    game.game_over = 1;
    game.hover_zone = ZONE_NONE;
    return true;
}

bool handle_event(int32_t code) {
    switch (code) {
    case EV_MOUSE_MOVE: update_hover(); return true;
    case EV_KEY_DOWN:
        if (last_key() == KEY_ESCAPE) return false;
        handle_key(last_key());
        return true;
    case EV_LBUTTON_DOWN: return handle_press();
    case EV_TIMER:
        on_timer_tick();
        // The sound device rests, recovers or reports its failure between
        // events, never in the middle of a move or a tune.
        midi_tend();
        return true;
    case EV_CLOSE: return false;
    default: return true;
    }
}

void shut_down_game() {
    midi_close();
    shutdown_platform();
    free_hot_zones();
    free_shade_canvas();
    game_window = NO_WINDOW;
}

int run_game(PlatformBackend* backend, MidiDevice* midi_device) {
    if (start_game(backend, midi_device)) {
        while (handle_event(wait_event())) {}
        shut_down_game();
    }
    return 0;
}
