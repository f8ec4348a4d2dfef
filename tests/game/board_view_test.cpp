// The board view: the falling disc's frames, the blinking banner, the turn
// disc and what a redraw shows.
#include "game_fixture.h"

#include <utility>

#include "game/board_view.h"
#include "game/turn_sequence.h"

namespace {

class BoardViewTest : public GameTest {
protected:
    // Where the moving disc's centre shows in each presented frame, found by
    // its colour over the cells it can pass (turn-disc row and board).
    std::vector<std::pair<int, int>> frames;
    std::vector<uint64_t> frame_times_us;

    void record_frames(Rgb disc) {
        headless_on_present([this, disc](const uint32_t* pixels, int width, int) {
            frame_times_us.push_back(headless_log().clock_us);
            for (int y = 225; y <= 525; y += 50)
                for (int x = 50; x <= 350; x += 50)
                    if (rgb_at(pixels, width, x, y) == disc) {
                        frames.emplace_back(x - 20, y - 20);
                        return;
                    }
            frames.emplace_back(-1, -1);
        });
    }
};

TEST_F(BoardViewTest, DropIntoEmptyFirstColumnFallsSevenFrames) {
    start();
    record_frames(HUMAN_DISC_CENTRE);
    animate_drop(SPRITE_DISC_HUMAN, 0, 0);
    const std::vector<std::pair<int, int>> expected = {{30, 205}, {30, 255}, {30, 305}, {30, 355},
                                                       {30, 405}, {30, 455}, {30, 505}};
    EXPECT_EQ(frames, expected);
    // One 50 ms pause after every frame.
    for (size_t k = 1; k < frame_times_us.size(); ++k)
        EXPECT_EQ(frame_times_us[k] - frame_times_us[k - 1], 50000u) << k;
}

TEST_F(BoardViewTest, DropOntoFiveDiscsInLastColumnSlidesSixAndFallsTwo) {
    start();
    set_board({"", "", "", "", "", "", "ccccc"});
    record_frames(HUMAN_DISC_CENTRE);
    animate_drop(SPRITE_DISC_HUMAN, 6, 5);
    const std::vector<std::pair<int, int>> expected = {{30, 205},  {80, 205},  {130, 205}, {180, 205},
                                                       {230, 205}, {280, 205}, {330, 205}, {330, 255}};
    EXPECT_EQ(frames, expected);
}

// Every column and every landing row: the disc slides along the top over
// columns 0 to column - 1 at y = 205, then shows at y = 205 over its own
// column and over rows 0, 1, ... down to its landing row: column + row + 2
// frames in all.
TEST_F(BoardViewTest, EveryDropSlidesAlongTheTopThenFallsRowByRowToItsCell) {
    start();
    record_frames(HUMAN_DISC_CENTRE);
    for (int column = 0; column < BOARD_COLUMNS; ++column)
        for (int row = 0; row < BOARD_ROWS; ++row) {
            SCOPED_TRACE(testing::Message() << "column " << column << ", landing row " << row);
            std::vector<std::string> columns(BOARD_COLUMNS);
            columns[column] = std::string(size_t(BOARD_ROWS - 1 - row), 'c');
            set_board(columns);
            frames.clear();
            animate_drop(SPRITE_DISC_HUMAN, column, BOARD_ROWS - 1 - row);
            std::vector<std::pair<int, int>> expected;
            for (int over = 0; over < column; ++over)
                expected.emplace_back(30 + 50 * over, 205);
            expected.emplace_back(30 + 50 * column, 205);
            for (int over = 0; over <= row; ++over)
                expected.emplace_back(30 + 50 * column, 255 + 50 * over);
            ASSERT_EQ(expected.size(), size_t(column + row + 2));
            EXPECT_EQ(frames, expected);
        }
}

TEST_F(BoardViewTest, PlayMoveTakesColumnPlusRowPlusTwoFrames) {
    start();
    game.game_over = 0;
    record_frames(CPU_DISC_CENTRE);
    play_move(3, CELL_CPU);  // empty column 3: 3 + 5 + 2 frames, then the landed view
    EXPECT_EQ(frames.size(), 11u);
    EXPECT_EQ(frames[9], (std::pair<int, int>{180, 505}));
    EXPECT_EQ(game.game_board.cells[cell_index(3, 5)], CELL_CPU);
    EXPECT_EQ(game.turn_marker, CELL_HUMAN);
    // The landed view shows the human's turn disc.
    EXPECT_EQ(shown_rgb(50, 225), HUMAN_DISC_CENTRE);
}

TEST_F(BoardViewTest, BannerOpacityRisesToTopThenSwingsBetweenHundredAndTop) {
    start();
    std::vector<int> drawn;
    for (int tick = 0; tick < 60; ++tick) {
        drawn.push_back(game.banner_alpha);
        on_timer_tick();
    }
    std::vector<int> expected;
    for (int a = 0; a <= 250; a += 10)
        expected.push_back(a);  // 26 ticks up
    for (int a = 240; a >= 100; a -= 10)
        expected.push_back(a);
    for (int a = 110; a <= 250; a += 10)
        expected.push_back(a);
    for (int a = 240; int(expected.size()) < 60; a -= 10)
        expected.push_back(a);
    // A full swing between the two turns takes 30 ticks, 1.5 s.
    EXPECT_EQ(expected[25], 250);
    EXPECT_EQ(expected[55], 250);
    EXPECT_EQ(drawn, expected);
}

TEST_F(BoardViewTest, TimerTickSendsOnlyTheBannerToTheScreen) {
    start();
    ASSERT_TRUE(run_script());  // the first repaint: the whole window
    EXPECT_EQ(headless_log().last_changed.width, 400);
    EXPECT_EQ(headless_log().last_changed.height, 600);
    game.turn_marker = CELL_HUMAN;
    const int presents = headless_log().present_count;
    on_timer_tick();
    EXPECT_EQ(headless_log().present_count, presents + 1);
    const PixelRect& changed = headless_log().last_changed;
    EXPECT_EQ(changed.x, 100);
    EXPECT_EQ(changed.y, 200);
    EXPECT_EQ(changed.width, 250);
    EXPECT_EQ(changed.height, 50);
}

TEST_F(BoardViewTest, TimerTickDrawsNothingBeforeTheFirstGame) {
    start();
    ASSERT_TRUE(run_script());  // the first repaint
    const int presents = headless_log().present_count;
    for (int tick = 0; tick < 5; ++tick)
        on_timer_tick();
    EXPECT_EQ(headless_log().present_count, presents);
    EXPECT_EQ(game.banner_alpha, 50);
}

TEST_F(BoardViewTest, BannerBlendsYourTurnOverTheMessageArea) {
    start();
    game.turn_marker = CELL_HUMAN;
    game.banner_alpha = 250;
    on_timer_tick();
    // The blend at 250 of sprite 12 over sprite 5 at (100, 200).
    int w = 0, h = 0;
    const uint32_t* banner = sprite_pixels(SPRITE_BANNER_YOUR_TURN, &w, &h);
    const uint32_t* back = sprite_pixels(SPRITE_BANNER_BACK, &w, &h);
    ASSERT_NE(banner, nullptr);
    int differing = 0;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 250; ++x) {
            const Rgb shown = shown_rgb(100 + x, 200 + y);
            const Rgb text = rgb_at(banner, 250, x, y);
            if (rgb_at(back, 250, x, y) != text) ++differing;
            // Nearly all banner at 250: within 8 of it in every channel.
            EXPECT_LE(std::abs(shown.r - text.r), 8) << x << "," << y;
            EXPECT_LE(std::abs(shown.g - text.g), 8) << x << "," << y;
            EXPECT_LE(std::abs(shown.b - text.b), 8) << x << "," << y;
        }
    EXPECT_GT(differing, 100) << "the banner holds its text";
}

TEST_F(BoardViewTest, RedrawShowsDiscsTurnDiscAndNormalLooks) {
    start();
    set_board({"h", "", "", "c"});
    game.turn_marker = CELL_CPU;
    redraw_board_view();
    EXPECT_EQ(screen_rgb(50, 525), HUMAN_DISC_CENTRE);
    EXPECT_EQ(screen_rgb(200, 525), CPU_DISC_CENTRE);
    EXPECT_EQ(screen_rgb(50, 225), CPU_DISC_CENTRE);
    EXPECT_EQ(screen_rgb(40, 100), (Rgb{80, 80, 208}));  // "Novice", dim
    // No green line after a draw.
    game.game_over = 1;
    game.game_drawn = 1;
    game.winning_line[0] = 50, game.winning_line[1] = 525, game.winning_line[2] = 200, game.winning_line[3] = 525;
    redraw_board_view();
    int w = 0, h = 0;
    const uint32_t* backdrop = sprite_pixels(SPRITE_BACKDROP, &w, &h);
    EXPECT_EQ(screen_rgb(150, 525), rgb_at(backdrop, w, 150, 525));  // the empty hole between them
}

TEST_F(BoardViewTest, CloseCrossTurnsRedAndBack) {
    start();
    redraw_board_view();
    const Rgb dark = screen_rgb(360, 37);
    EXPECT_EQ(dark, (Rgb{32, 32, 32}));
    draw_close_button(1);
    EXPECT_EQ(screen_rgb(360, 37), (Rgb{192, 32, 32}));
    draw_close_button(0);
    EXPECT_EQ(screen_rgb(360, 37), dark);
}

}  // namespace
