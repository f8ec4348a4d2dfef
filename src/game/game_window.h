// The size of the game's one window, in picture pixels. The artwork paints
// a picture of exactly this size, the icon keeps its proportions, and the
// tools and tests that watch the real window expect it.
#pragma once

constexpr int WINDOW_WIDTH = 400;
constexpr int WINDOW_HEIGHT = 600;
