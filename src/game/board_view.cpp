#include "game/board_view.h"

#include <string>

#include "art/artwork.h"
#include "art/close_cross.h"
#include "game/game_state.h"
#include "platform/drawing.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "rules/board.h"

namespace {

// A falling disc ends its fall over the bottom row at the latest.
constexpr int BOTTOM_DISC_Y = disc_top(BOARD_ROWS - 1);

constexpr int FRAME_PAUSE_MS = 50;

constexpr int WINNING_LINE_WIDTH = 10;
constexpr uint32_t WINNING_LINE_COLOUR = pack_colour(0, 255, 0);

// The banner's opacity swings between these.
constexpr int BANNER_TOP_ALPHA = 250;
constexpr int BANNER_LOW_ALPHA = 100;
constexpr int BANNER_ALPHA_STEP = 10;

// Score texts, right of the backdrop's labels "Humain", "CPU" and "Nul".
constexpr int SCORE_COUNT_X = 250;
constexpr int SCORE_PERCENT_X = 310;
constexpr int SCORE_ROW_Y[3] = {120, 140, 160};
constexpr int SCORE_FONT_PT = 14;

void draw_scores() {
    const std::array<std::string, 6> texts = score_panel_texts();
    begin_drawing(screen_draw_target());
    set_draw_mode(DM_TRANSPARENT);
    select_font(load_font("Times New Roman", SCORE_FONT_PT, FS_BOLD));
    set_colour(250, 250, 250);
    for (int row = 0; row < 3; ++row) {
        set_text_pos(SCORE_COUNT_X, SCORE_ROW_Y[row]);
        draw_text(texts[row].c_str());
        set_text_pos(SCORE_PERCENT_X, SCORE_ROW_Y[row]);
        draw_text(texts[3 + row].c_str());
    }
    end_drawing();
}

void draw_frame_with_disc(int sprite, int x, int y) {
    redraw_board_view();
    blit_sprite_keyed(sprite, x, y);
    present_frame();
    delay_ms(FRAME_PAUSE_MS);
}

void blink_banner(int banner) {
    blit_sprite(SPRITE_BANNER_BACK, MESSAGE_AREA_X, MESSAGE_AREA_Y);
    blend_sprite(banner, MESSAGE_AREA_X, MESSAGE_AREA_Y, game.banner_alpha);
    present_frame();
}

}  // namespace

std::array<std::string, 6> score_panel_texts() {
    const int32_t counts[3] = {game.human_wins, game.cpu_wins, game.draw_count};
    int32_t total = counts[0] + counts[1] + counts[2];
    if (total == 0) total = 1;
    std::array<std::string, 6> texts;
    for (int row = 0; row < 3; ++row) {
        texts[row] = number_to_text(counts[row]);
        texts[3 + row] = number_to_text(counts[row] * 100 / total) + " %";
    }
    return texts;
}

void redraw_board_view() {
    blit_sprite(SPRITE_BACKDROP, 0, 0);

    for (int i = 0; i < BOARD_COLUMNS; ++i)
        for (int j = 0; j < BOARD_ROWS; ++j) {
            const int8_t cell = game.game_board.cells[cell_index(i, j)];
            const int x = disc_left(i), y = disc_top(j);
            if (cell == CELL_HUMAN) blit_sprite_keyed(SPRITE_DISC_HUMAN, x, y);
            if (cell == CELL_CPU) blit_sprite_keyed(SPRITE_DISC_CPU, x, y);
        }

    if (game.game_over != 0 && (game.human_won != 0 || game.cpu_won != 0)) {
        begin_drawing(screen_draw_target());
        set_pen(WINNING_LINE_WIDTH, WINNING_LINE_COLOUR);
        draw_line_to(game.winning_line[0], game.winning_line[1], game.winning_line[2], game.winning_line[3]);
        end_drawing();
    }

    if (game.turn_marker == CELL_HUMAN) blit_sprite_keyed(SPRITE_DISC_HUMAN, TURN_DISC_X, TURN_DISC_Y);
    if (game.turn_marker == CELL_CPU) blit_sprite_keyed(SPRITE_DISC_CPU, TURN_DISC_X, TURN_DISC_Y);

    draw_scores();
}

void animate_drop(int sprite, int column, int rows_below) {
    int x = TURN_DISC_X;
    while (x <= CELL_PITCH * column) {
        draw_frame_with_disc(sprite, x, TURN_DISC_Y);
        x += CELL_PITCH;
    }
    for (int y = TURN_DISC_Y; y <= BOTTOM_DISC_Y - CELL_PITCH * rows_below; y += CELL_PITCH)
        draw_frame_with_disc(sprite, x, y);
}

void on_timer_tick() {
    // At most one of these holds in any reachable state.
    if (game.turn_marker == CELL_HUMAN) blink_banner(SPRITE_BANNER_YOUR_TURN);
    if (game.human_won == 1) blink_banner(SPRITE_BANNER_WON);
    if (game.cpu_won == 1) blink_banner(SPRITE_BANNER_LOST);
    if (game.game_drawn == 1) blink_banner(SPRITE_BANNER_DRAW);

    // 0 up to 250 once, then between 100 and 250 for ever; it steps even
    // when nothing was drawn, so the first banner may start anywhere.
    game.banner_alpha += game.banner_step;
    if (game.banner_alpha == BANNER_TOP_ALPHA) game.banner_step = -BANNER_ALPHA_STEP;
    if (game.banner_alpha == BANNER_LOW_ALPHA) game.banner_step = +BANNER_ALPHA_STEP;
}

void draw_close_button(int highlighted) {
    begin_drawing(screen_draw_target());
    draw_close_cross(highlighted ? CROSS_RED : CROSS_DARK);
    end_drawing();
}
