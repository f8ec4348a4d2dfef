// The score panel as it must read, drawn independently of the board view:
// the backdrop with the six texts at their places, 14-point bold
// near-white, onto the back buffer. Counts first ("Humain", "CPU", "Nul"),
// then their percentages.
#pragma once
#include <array>
#include <string>

#include "art/sprite_ids.h"
#include "platform/drawing.h"
#include "platform/screen.h"

inline void draw_expected_score_panel(const std::array<std::string, 6>& texts) {
    blit_sprite(SPRITE_BACKDROP, 0, 0);
    begin_drawing(screen_draw_target());
    set_draw_mode(DM_TRANSPARENT);
    select_font(load_font("Times New Roman", 14, FS_BOLD));
    set_colour(250, 250, 250);
    for (int k = 0; k < 6; ++k) {
        set_text_pos(k < 3 ? 250 : 310, 120 + 20 * (k % 3));
        draw_text(texts[k].c_str());
    }
    end_drawing();
}
