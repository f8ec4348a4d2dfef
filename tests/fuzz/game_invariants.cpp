#include "game_invariants.h"

#include <cstdlib>

#include "game/hot_zones.h"
#include "rules/board.h"
#include "rules/search.h"

namespace {

bool is_flag(int8_t v) { return v == 0 || v == 1; }

}  // namespace

std::string check_invariants(InvariantWatch& watch, const GameState& g) {
    std::string broken;
    auto fail = [&broken](const char* what) { broken += broken.empty() ? what : std::string("; ") + what; };

    // The board: only the three cell values, each disc resting on the
    // bottom or on another disc, the two sides' counts at most one apart.
    int humans = 0, cpus = 0, full_columns = 0;
    for (int column = 0; column < BOARD_COLUMNS; ++column) {
        bool hole_below = false;
        for (int row = BOARD_ROWS - 1; row >= 0; --row) {
            const int8_t cell = g.game_board.cells[cell_index(column, row)];
            if (cell != CELL_EMPTY && cell != CELL_HUMAN && cell != CELL_CPU) fail("a cell holds an unknown value");
            if (cell != CELL_EMPTY && hole_below) fail("a disc floats over an empty cell");
            hole_below = hole_below || cell == CELL_EMPTY;
            humans += cell == CELL_HUMAN;
            cpus += cell == CELL_CPU;
        }
        full_columns += g.game_board.cells[cell_index(column, 0)] != CELL_EMPTY;
    }
    if (std::abs(humans - cpus) > 1) fail("one side has two discs more than the other");
    const bool human_line = has_four_in_row(&g.game_board, CELL_HUMAN) != 0;
    const bool cpu_line = has_four_in_row(&g.game_board, CELL_CPU) != 0;

    // Playing, waiting for the first level, or a finished game.
    if (!is_flag(g.human_won) || !is_flag(g.cpu_won) || !is_flag(g.game_drawn)) fail("an outcome flag is not 0 or 1");
    const int outcomes = g.human_won + g.cpu_won + g.game_drawn;
    if (g.game_over == 0) {
        if (g.current_level < LEVEL_NOVICE || g.current_level > LEVEL_MAITRE) fail("a game goes on without a level");
        if (outcomes != 0) fail("an outcome is set while the game goes on");
        if (human_line || cpu_line) fail("a line of four stands while the game goes on");
        if (full_columns == BOARD_COLUMNS) fail("the board is full while the game goes on");
    } else if (g.current_level == 0) {
        if (outcomes != 0 || humans + cpus != 0) fail("something happened before the first level");
    } else {
        if (outcomes != 1) fail("a finished game has not exactly one outcome");
        if (g.turn_marker != 0) fail("a turn is shown after the end");
        if (g.human_won && !human_line) fail("a human win without a human line");
        if (g.cpu_won && !cpu_line) fail("a computer win without a computer line");
        if (g.game_drawn && (full_columns != BOARD_COLUMNS || human_line || cpu_line))
            fail("a draw on a board that is not");
    }

    // Scores: each only grows, by one, when the game just ended.
    const GameState& b = watch.before;
    const int grew[3] = {g.human_wins - b.human_wins, g.cpu_wins - b.cpu_wins, g.draw_count - b.draw_count};
    const int8_t flags[3] = {g.human_won, g.cpu_won, g.game_drawn};
    const bool ended_now = b.game_over == 0 && g.game_over != 0;
    int total = 0;
    for (int k = 0; k < 3; ++k) {
        if (grew[k] < 0 || grew[k] > 1) fail("a score moved by something other than 0 or +1");
        if (grew[k] == 1 && flags[k] != 1) fail("the score that grew is not the game's outcome");
        total += grew[k];
    }
    if (ended_now != (total == 1))
        fail(ended_now ? "a game ended without being counted" : "a score grew without a game ending");

    // The display state.
    if (g.hover_zone < ZONE_NOVICE || g.hover_zone > ZONE_NONE) fail("the hover state is no zone");
    if (g.banner_alpha < 0 || g.banner_alpha > 250 || (g.banner_step != 10 && g.banner_step != -10))
        fail("the banner's opacity left its swing");

    watch.before = g;
    return broken;
}
