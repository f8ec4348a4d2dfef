// The game state's invariants, checked by the fuzz target after every
// event the game handles.
#pragma once
#include <string>

#include "game/game_state.h"

// The state after the previous event: scores may only grow, and only when
// that event ended a game.
struct InvariantWatch {
    GameState before{};
};

// Empty when every invariant holds for `now`; otherwise what is broken.
// Remembers `now` for the next call.
std::string check_invariants(InvariantWatch& watch, const GameState& now);
