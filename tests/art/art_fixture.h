// The headless platform with the game's window and screen, the hot zone
// list and the canvas, as the game has them when it builds its artwork;
// and pixel checks that name the pixel and both colours when they fail.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "art/shade_canvas.h"
#include "game/hot_zones.h"
#include "platform/drawing.h"
#include "platform/headless/headless.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "support/picture.h"

class ArtTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        init_platform(headless_backend());
        create_hot_zones();
        create_shade_canvas();
        ASSERT_TRUE(init_screen_system());
        const WindowHandle window =
            open_window(0, 0, 400, 600, WF_POPUP | WF_START_HIDDEN | WF_CENTRE_ON_SCREEN, "Colonnade4");
        ASSERT_NE(window, NO_WINDOW);
        ASSERT_TRUE(open_window_screen(window, 0, 0, 400, 600, 0, 0, 0));
    }
    void TearDown() override {
        shutdown_platform();
        free_hot_zones();
        free_shade_canvas();
    }

    // A sprite filled with one colour (or left black), open for drawing.
    static DrawTarget* open_sprite(SpriteId id, int w, int h, uint32_t packed_fill = 0) {
        create_sprite(id, w, h);
        DrawTarget* target = sprite_draw_target(id);
        begin_drawing(target);
        if (packed_fill != 0) draw_box(0, 0, w, h, packed_fill);
        return target;
    }
};
