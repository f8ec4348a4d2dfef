// The computer's search written as plainly as its rules read: recursion over
// board copies, the full four-in-a-row test after every drop, two complete
// evaluations at every leaf. Far too slow for play (about 16 ms per "Maître"
// move); kept as the reference the game's search must match value for value.
#pragma once
#include <cstdint>
#include "game/game_state.h"
#include "rules/search.h"

int32_t plain_search_value(const Board* board, int depth, int side, SearchCounts* counts);

// choose_computer_move on the given record instead of the process-wide one:
// raises its computer_move_count and reports every candidate it looked at.
MoveAnalysis plain_choose_computer_move(GameState* state, SearchCounts* counts);
