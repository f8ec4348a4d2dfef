// The fuzz target on the headless game (see game_fuzz_target.cpp).
#pragma once
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Since the process started: events the game's loop handled, and the
// inputs fed.
uint64_t fuzz_events_handled();
uint64_t fuzz_inputs_fed();
