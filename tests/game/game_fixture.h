// A whole game on the headless backend: virtual clock, scripted pointer and
// keys, and a recorder standing in for the synthesiser.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "art/sprite_ids.h"
#include "game/game_state.h"
#include "game/game_window.h"
#include "game/main_loop.h"
#include "platform/headless/headless.h"
#include "platform/screen.h"
#include "rules/board.h"
#include "sound/recorder_device.h"

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

inline Rgb rgb_at(const uint32_t* pixels, int width, int x, int y) {
    const uint32_t p = pixels[y * width + x];
    return {int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)};
}

inline Rgb screen_rgb(int x, int y) { return rgb_at(screen_pixels(), WINDOW_WIDTH, x, y); }
inline Rgb shown_rgb(int x, int y) {
    return rgb_at(headless_log().last_frame.data(), headless_log().frame_width, x, y);
}

// The disc colours at a disc's centre.
constexpr Rgb HUMAN_DISC_CENTRE{255, 208, 108};
constexpr Rgb CPU_DISC_CENTRE{255, 108, 108};

// Button zones: a point inside each.
constexpr int NOVICE_X = 80, NOVICE_Y = 95;
constexpr int MOYEN_X = 80, MOYEN_Y = 130;
constexpr int MAITRE_X = 80, MAITRE_Y = 165;

class GameTest : public ::testing::Test {
protected:
    RecorderDevice midi;

    // Start-up on a fresh twin whose clock (and so the random seed) starts at clock_ms.
    void start(uint64_t clock_ms = 1000) {
        headless_reset();
        headless_set_clock_ms(clock_ms);
        ASSERT_TRUE(start_game(headless_backend(), &midi));
    }

    // Handles events until the script is used up (or the game ends);
    // returns false when the game asked to end for another reason.
    bool run_script() {
        const int ends_before = headless_log().script_ends;
        while (handle_event(wait_event())) {}
        return headless_log().script_ends > ends_before;
    }

    void TearDown() override {
        if (!headless_log().shut_down) shut_down_game();
    }

    // Starts a game at a level with a click on its button.
    void press_level(int x, int y) {
        headless_click(x, y);
        ASSERT_TRUE(run_script());
    }

    std::vector<uint32_t> words_since(size_t first) const {
        std::vector<uint32_t> words;
        for (size_t i = first; i < midi.messages.size(); ++i)
            words.push_back(midi.messages[i].word);
        return words;
    }

    static int discs_on_board(int8_t player) {
        int n = 0;
        for (int8_t cell : game.game_board.cells)
            n += cell == player;
        return n;
    }
};

// Board set-up from the bottom up: column strings read bottom first,
// 'h' human, 'c' computer.
inline void set_board(const std::vector<std::string>& columns_bottom_up) {
    game.game_board = Board{};
    for (int column = 0; column < int(columns_bottom_up.size()); ++column) {
        const std::string& discs = columns_bottom_up[column];
        for (int k = 0; k < int(discs.size()); ++k)
            game.game_board.cells[cell_index(column, BOARD_ROWS - 1 - k)] = discs[k] == 'h' ? CELL_HUMAN : CELL_CPU;
    }
}

// A full board with no line of four: rows pair up (0-1, 2-3, 4-5) and the
// colours alternate along each row, flipping in the middle pair.
inline char draw_pattern(int column, int row) {
    const bool middle_pair = row == 2 || row == 3;
    return ((column % 2 == 0) != middle_pair) ? 'h' : 'c';
}

// The draw pattern from the bottom up, leaving the top cell of the given
// columns empty.
inline std::vector<std::string> draw_board_leaving(std::initializer_list<int> open_columns) {
    std::vector<std::string> columns;
    for (int c = 0; c < BOARD_COLUMNS; ++c) {
        std::string discs;
        for (int row = BOARD_ROWS - 1; row >= 0; --row)
            discs += draw_pattern(c, row);
        for (int open : open_columns)
            if (open == c) discs.pop_back();
        columns.push_back(discs);
    }
    return columns;
}
