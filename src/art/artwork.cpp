#include "art/artwork.h"

#include "art/close_cross.h"
#include "art/palette.h"
#include "art/shade_canvas.h"
#include "game/game_window.h"
#include "game/hot_zones.h"
#include "platform/drawing.h"
#include "platform/screen.h"
#include "rules/board.h"

namespace {

// --- the discs ---------------------------------------------------------------
constexpr int DISC_SIZE = 41;
constexpr int DISC_EXTENT = DISC_SIZE - 1;  // the slab covers both ends
constexpr int DISC_RADIUS = 20;
constexpr int DISC_BEVEL = 6;

// --- the window picture --------------------------------------------------------
constexpr uint32_t BACKGROUND_COLOUR = pack_colour(160, 160, 255);

// The board slab fills the window; its corner radius matches the window's
// rounded outline.
constexpr int BOARD_RADIUS = 50;
constexpr int BOARD_BEVEL = 20;

// Hole of cell (column, row): the square at (25 + 50 column, 250 + 50 row).
constexpr int HOLE_LEFT = 25;
constexpr int HOLE_TOP = 250;
constexpr int HOLE_PITCH = 50;
constexpr int HOLE_SIZE = 50;
constexpr int HOLE_RADIUS = 25;
constexpr int HOLE_RIM = 7;

// Each level button: a well in the board, a slab in the well, a label on
// the slab. The slab's rectangle is the button's hot zone.
constexpr int WELL_WIDTH = 106;
constexpr int WELL_HEIGHT = 36;
constexpr int WELL_RADIUS = 18;
constexpr int WELL_RIM = 5;
constexpr int BUTTON_INSET = 3;  // slab inside its well
constexpr int BUTTON_WIDTH = 100;
constexpr int BUTTON_HEIGHT = 30;
constexpr int BUTTON_RADIUS = 15;
constexpr int BUTTON_BEVEL = 6;
constexpr int LABEL_DX = 25;  // label from the well's corner
constexpr int LABEL_DY = 7;

// Column frames and the numbers under them.
constexpr int FRAME_WIDTH = 49;
constexpr int FRAME_HEIGHT = 300;
constexpr int NUMBER_LEFT = 47;
constexpr int NUMBER_TOP = 555;

// Score panel.
constexpr int PANEL_X = 140;
constexpr int PANEL_Y = 70;
constexpr int PANEL_WIDTH = 230;
constexpr int PANEL_HEIGHT = 120;
constexpr int STRIP_X = 170;
constexpr int STRIP_Y = 80;
constexpr int STRIP_WIDTH = 170;
constexpr int STRIP_HEIGHT = 25;
constexpr int SCORES_X = 225;
constexpr int SCORES_Y = 79;
// The score numbers of the board view stand on these rows, right of x = 250.
constexpr int PANEL_LABEL_X = 160;
struct PanelLabel {
    int y;
    const char* text;
};
constexpr PanelLabel PANEL_LABELS[] = {{120, "Humain"}, {140, "CPU"}, {160, "Nul"}};

// Title: the word, then a large italic "4" outlined by four dark copies
// around the green one.
constexpr int TITLE_X = 100;
constexpr int TITLE_Y = 10;
constexpr int FOUR_X = 270;
constexpr int FOUR_Y = 5;
constexpr int FOUR_OUTLINE[][2] = {{-1, -1}, {-1, +1}, {+1, -1}, {+1, +1}};

// The message area above the board, and the banners made from it.
struct Banner {
    SpriteId id;
    const char* text;
};
constexpr Banner BANNERS[] = {
    {SPRITE_BANNER_YOUR_TURN, "A toi de jouer !"},
    {SPRITE_BANNER_WON, "Tu as gagné !"},
    {SPRITE_BANNER_LOST, "Tu as perdu !"},
    {SPRITE_BANNER_DRAW, "Match nul !"},
};

// Fonts and text colours.
constexpr const char* SERIF = "Times New Roman";
constexpr const char* NUMBER_FACE = "Impact";
constexpr int NORMAL = 0;
constexpr uint32_t TITLE_COLOUR = pack_colour(50, 50, 50);
constexpr uint32_t FOUR_COLOUR = pack_colour(0, 250, 0);
constexpr uint32_t SCORES_COLOUR = pack_colour(200, 250, 200);
constexpr uint32_t BANNER_TEXT_COLOUR = pack_colour(10, 10, 10);

// The credit runs up the board's left bevel (x = 1..20), beside the holes
// and below the buttons: with the 16-pixel cell starting at x = 3 the
// glyphs stay on the bevel, and the text starts low enough to end well
// below the wells. A deep blue reads on the bright bevel without shouting.
constexpr const char* CREDIT = "Colonnade4 — logiciel libre";
constexpr int CREDIT_CELL = 16;
constexpr int CREDIT_WEIGHT = 700;
constexpr int CREDIT_ANGLE = 900;  // tenths of a degree: reads upwards
constexpr int CREDIT_X = 3;
constexpr int CREDIT_Y = 540;
constexpr uint32_t CREDIT_COLOUR = pack_colour(0, 60, 100);

// One build: the options and the drawing pass it has open.
struct Build {
    ArtworkOptions options;
    ShadeCanvas* canvas;
    DrawTarget* target = nullptr;

    void begin(SpriteId id) {
        target = sprite_draw_target(id);
        begin_drawing(target);
    }
    void end() {
        end_drawing();
        target = nullptr;
    }
    void clear() {
        if (options.shading == ShadeMethod::Fast)
            clear_canvas_fast(*canvas);
        else
            clear_canvas(*canvas);
    }
    void shade(int w, int h, uint32_t colour, int offset) {
        if (options.shading == ShadeMethod::Plain)
            shade_canvas_plain(*canvas, w, h, colour, offset);
        else if (target)  // a sprite that could not be opened stays as it is
            shade_canvas_into(*canvas, *target, w, h, colour, offset);
    }
    void text(int x, int y, const char* s) const {
        set_text_pos(x, y);
        if (options.with_text) draw_text(s);
    }
};

void font(const char* face, int size_pt, int style) { select_font(load_font(face, size_pt, style)); }
void colour(uint32_t packed) { set_colour(colour_red(packed), colour_green(packed), colour_blue(packed)); }

void build_disc(Build& b, SpriteId id, uint32_t disc_colour) {
    create_sprite(id, DISC_SIZE, DISC_SIZE);
    b.begin(id);
    b.clear();
    render_slab(*b.canvas, 0, 0, DISC_EXTENT, DISC_EXTENT, DISC_RADIUS, DISC_BEVEL);
    b.shade(DISC_EXTENT, DISC_EXTENT, disc_colour, 0);
    b.end();
}

void render_buttons(Build& b, bool register_zones) {
    for (const LevelButton& button : LEVEL_BUTTONS) {
        const int x = button.well_x + BUTTON_INSET;
        const int y = button.well_y + BUTTON_INSET;
        render_slab(*b.canvas, x, y, BUTTON_WIDTH, BUTTON_HEIGHT, BUTTON_RADIUS, BUTTON_BEVEL);
        if (register_zones) add_hot_zone(button.zone, x, y, x + BUTTON_WIDTH, y + BUTTON_HEIGHT);
    }
}

void write_button_labels(const Build& b, uint32_t label_colour) {
    font(SERIF, 14, FS_BOLD);
    colour(label_colour);
    for (const LevelButton& button : LEVEL_BUTTONS)
        b.text(button.well_x + LABEL_DX, button.well_y + LABEL_DY, button.label);
}

void grab_button_looks(bool hover) {
    set_blit_target(SPRITE_BACKDROP);
    for (const LevelButton& button : LEVEL_BUTTONS)
        grab_sprite(hover ? button.hover : button.normal, button.well_x, button.well_y, WELL_WIDTH, WELL_HEIGHT);
    set_blit_target(SCREEN_TARGET);
}

// The window picture with its buttons bright, in one drawing pass; the
// close cross's pens go with the pass, the credit's font just before it.
void build_backdrop(Build& b) {
    create_sprite(SPRITE_BACKDROP, WINDOW_WIDTH, WINDOW_HEIGHT);
    b.begin(SPRITE_BACKDROP);
    draw_box(0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, BACKGROUND_COLOUR);

    // The board, its holes and the button wells, shaded together.
    b.clear();
    render_slab(*b.canvas, 0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, BOARD_RADIUS, BOARD_BEVEL);
    for (int column = 0; column < BOARD_COLUMNS; ++column)
        for (int row = 0; row < BOARD_ROWS; ++row)
            render_hole(*b.canvas, HOLE_LEFT + HOLE_PITCH * column, HOLE_TOP + HOLE_PITCH * row, HOLE_SIZE, HOLE_SIZE,
                        HOLE_RADIUS, HOLE_RIM);
    for (const LevelButton& button : LEVEL_BUTTONS)
        render_hole(*b.canvas, button.well_x, button.well_y, WELL_WIDTH, WELL_HEIGHT, WELL_RADIUS, WELL_RIM);
    b.shade(WINDOW_WIDTH, WINDOW_HEIGHT, BOARD_COLOUR, SHADE_OFFSET);

    // Only the three buttons are on the canvas now, so only they change.
    b.clear();
    render_buttons(b, true);
    b.shade(WINDOW_WIDTH, WINDOW_HEIGHT, BUTTON_BRIGHT, SHADE_OFFSET);

    // The digits take the white that each sunken frame leaves current.
    set_draw_mode(DM_TRANSPARENT);
    font(NUMBER_FACE, 14, NORMAL);
    for (int column = 0; column < BOARD_COLUMNS; ++column) {
        draw_sunken_frame(HOLE_LEFT + HOLE_PITCH * column, HOLE_TOP, FRAME_WIDTH, FRAME_HEIGHT);
        b.text(NUMBER_LEFT + HOLE_PITCH * column, NUMBER_TOP, number_to_text(column + 1).c_str());
    }

    draw_box(PANEL_X, PANEL_Y, PANEL_WIDTH, PANEL_HEIGHT, PANEL_COLOUR);
    draw_riveted_frame(PANEL_X, PANEL_Y, PANEL_WIDTH, PANEL_HEIGHT);
    draw_box(STRIP_X, STRIP_Y, STRIP_WIDTH, STRIP_HEIGHT, STRIP_COLOUR);
    draw_sunken_frame(STRIP_X, STRIP_Y, STRIP_WIDTH, STRIP_HEIGHT);

    draw_close_cross(CROSS_DARK);

    set_draw_mode(DM_TRANSPARENT);
    font(SERIF, 30, NORMAL);
    colour(TITLE_COLOUR);
    b.text(TITLE_X, TITLE_Y, "Colonnade");
    font(SERIF, 34, FS_ITALIC);
    colour(TITLE_COLOUR);
    for (const auto& [dx, dy] : FOUR_OUTLINE)
        b.text(FOUR_X + dx, FOUR_Y + dy, "4");
    colour(FOUR_COLOUR);
    b.text(FOUR_X, FOUR_Y, "4");

    write_button_labels(b, LABEL_BRIGHT);

    font(SERIF, 18, FS_BOLD);
    colour(SCORES_COLOUR);
    b.text(SCORES_X, SCORES_Y, "Scores");
    font(SERIF, 14, FS_BOLD);
    colour(LABEL_BRIGHT);
    for (const PanelLabel& label : PANEL_LABELS)
        b.text(PANEL_LABEL_X, label.y, label.text);

    const FontHandle credit_font = create_font_ex(SERIF, CREDIT_CELL, CREDIT_WEIGHT, CREDIT_ANGLE);
    select_font(credit_font);
    colour(CREDIT_COLOUR);
    b.text(CREDIT_X, CREDIT_Y, CREDIT);
    release_font(credit_font);
    b.end();
}

void grab_message_area(SpriteId id) {
    set_blit_target(SPRITE_BACKDROP);
    grab_sprite(id, MESSAGE_AREA_X, MESSAGE_AREA_Y, MESSAGE_AREA_WIDTH, MESSAGE_AREA_HEIGHT);
    set_blit_target(SCREEN_TARGET);
}

// The empty message area and the four banners.
void build_banners(Build& b) {
    grab_message_area(SPRITE_BANNER_BACK);
    for (const Banner& banner : BANNERS) {
        grab_message_area(banner.id);
        b.begin(banner.id);
        set_draw_mode(DM_TRANSPARENT);
        font(SERIF, 30, FS_BOLD);
        colour(BANNER_TEXT_COLOUR);
        b.text(0, 0, banner.text);
        b.end();
    }
}

// The buttons again, dim, over the bright ones in sprite 1.
void dim_buttons(Build& b) {
    b.begin(SPRITE_BACKDROP);
    b.clear();
    render_buttons(b, false);
    b.shade(WINDOW_WIDTH, WINDOW_HEIGHT, BUTTON_DIM, SHADE_OFFSET);
    set_draw_mode(DM_TRANSPARENT);
    write_button_labels(b, LABEL_DIM);
    b.end();
}

}  // namespace

void build_artwork() { build_artwork(ArtworkOptions{}); }

void build_artwork(const ArtworkOptions& options) {
    build_window_picture(options);
    build_play_pictures(options);
}

// The discs too: a few shaded pixels, and the canvas is then left holding
// the dim buttons, as the icon's drawing expects.
void build_window_picture(const ArtworkOptions& options) {
    Build b{options, create_shade_canvas()};
    build_disc(b, SPRITE_DISC_HUMAN, HUMAN_DISC_COLOUR);
    build_disc(b, SPRITE_DISC_CPU, CPU_DISC_COLOUR);
    build_backdrop(b);
    grab_button_looks(true);
    dim_buttons(b);
    grab_button_looks(false);
}

// The banners are taken from the finished window picture: the dim buttons
// changed nothing of its message area. Their large text is most of the
// glyphs the artwork draws.
void build_play_pictures(const ArtworkOptions& options) {
    Build b{options, create_shade_canvas()};
    build_banners(b);
}
