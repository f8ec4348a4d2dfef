// A fresh headless platform with the game's window and screen, and pixel
// checks that name the pixel and both colours when they fail.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "game/game_window.h"
#include "platform/drawing.h"
#include "platform/headless/headless.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "support/picture.h"

inline constexpr uint32_t GAME_WINDOW_FLAGS = WF_POPUP | WF_START_HIDDEN | WF_CENTRE_ON_SCREEN;

class PlatformTest : public ::testing::Test {
protected:
    WindowHandle window = NO_WINDOW;

    void SetUp() override {
        headless_reset();
        init_platform(headless_backend());
        ASSERT_TRUE(init_screen_system());
        window = open_window(0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, GAME_WINDOW_FLAGS, "Colonnade4");
        ASSERT_NE(window, NO_WINDOW);
        ASSERT_TRUE(open_window_screen(window, 0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, 0, 0, 0));
    }
    void TearDown() override { shutdown_platform(); }

    // A sprite filled with one colour.
    static void solid_sprite(SpriteId id, int w, int h, uint32_t packed) {
        ASSERT_TRUE(create_sprite(id, w, h));
        ASSERT_NE(begin_drawing(sprite_draw_target(id)), nullptr);
        draw_box(0, 0, w, h, packed);
        end_drawing();
    }
};
