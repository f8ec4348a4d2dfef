#include "game/game_state.h"

// Static storage: zero-filled before main runs.
GameState game;
