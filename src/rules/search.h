// The computer's move search: a plain fixed-depth minimax, exhaustive, with
// the evaluation's difference at the leaves. Values are seen from the
// computer's side (larger is better for it).
#pragma once
#include <cstdint>
#include "rules/board.h"

// The levels, as current_level holds them: each is also the search depth
// of the computer (see search_depth).
constexpr int32_t LEVEL_NOVICE = 2;
constexpr int32_t LEVEL_MOYEN = 3;
constexpr int32_t LEVEL_MAITRE = 4;

// +100: the computer has just completed a line of four; -100: the human has.
// The same at every depth, so a near win and a far win are worth the same.
constexpr int32_t SCORE_WIN = 100;
// Start value of a node: -101 at a computer node, +101 at a human node. A
// node with depth left and no column with room returns it unchanged.
constexpr int32_t SCORE_LIMIT = 101;

// How much work a search did, counted as the plain minimax would count it:
// every call of search_value, and the calls that were leaves. Counting is
// optional and selects a separately compiled search, so the game's own
// search never pays for it.
struct SearchCounts {
    int64_t calls;
    int64_t leaves;
};

// Value of the position with `side` to move (CELL_HUMAN, or anything else
// for the computer) and `depth` further moves to try (at least 0). The board
// must be one the game can build: discs stacked from the bottom, cells
// holding CELL_EMPTY, CELL_HUMAN or CELL_CPU only.
int32_t search_value(const Board* board, int depth, int side, SearchCounts* counts = nullptr);

// Depth handed to search_value below each candidate, given the level and the
// move count already raised for this move: "Novice" looks as far as "Moyen"
// for the first three moves it chooses in a game.
int search_depth(int32_t level, int8_t move_count);

// What the root of the search made of each column.
enum CandidateKind : uint8_t {
    CANDIDATE_UNTRIED,  // not reached: an earlier column won, or nothing was searched
    CANDIDATE_FULL,     // no room
    CANDIDATE_VALUE,    // searched; see value[]
    CANDIDATE_WIN,      // completes a computer line; the search stops there
    CANDIDATE_ONLY,     // the one column with room, played without a search
};

struct MoveAnalysis {
    CandidateKind kind[BOARD_COLUMNS];
    int32_t value[BOARD_COLUMNS];  // meaningful where kind is CANDIDATE_VALUE
    int column;                    // the column to play; -1 when none has room
    int depth;                     // depth searched below each candidate
};

// The root of the search on any board: the one column with room if there is
// only one, else the first winning column if one exists, else the highest
// column among those of the best value.
MoveAnalysis analyse_board(const Board* board, int depth, SearchCounts* counts = nullptr);

// One computer move on the game record: guards on game_over (column 0, no
// count change), raises computer_move_count, picks the depth from
// current_level, then analyses game_board. Never writes game_board.
MoveAnalysis analyse_computer_move(SearchCounts* counts = nullptr);

// Called by the turn sequence right after the human's disc, while a game is
// in progress and the board is neither won nor full. Returns 0 to 6 (0 at
// once when game_over is set; -1 only when no column has room).
int choose_computer_move();
