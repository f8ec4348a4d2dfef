// The event loop through the headless backend: start-up, hover, presses,
// keys and the ways out.
#include "game_fixture.h"

#include "game/hot_zones.h"
#include "platform/random.h"
#include "platform/record_list.h"
#include "rules/search.h"
#include "sound/midi.h"

namespace {

// A device that looks at the game at the moment MIDI is opened.
struct OrderProbe final : MidiDevice {
    bool opened = false;
    bool window_visible = false, window_shown = false, artwork_built = false, presented = false, icon_set = false;
    int zones = 0;
    int32_t game_over = -1;
    bool open() override {
        opened = true;
        window_visible = headless_log().window_visible;
        window_shown = headless_log().show_count > 0;
        int w = 0, h = 0;
        artwork_built = sprite_pixels(SPRITE_BANNER_DRAW, &w, &h) != nullptr;
        presented = headless_log().present_count > 0;
        icon_set = !headless_log().icon_sizes.empty();
        zones = list_count(hot_zones);
        game_over = game.game_over;
        return true;
    }
    bool send(uint32_t) override { return true; }
};

TEST_F(GameTest, StartUpShowsThePictureThenOpensMidiThenSetsTheIconAndWaitsForALevel) {
    // Outlives the game: shut-down closes the device.
    static OrderProbe probe;
    probe = OrderProbe{};
    headless_reset();
    ASSERT_TRUE(start_game(headless_backend(), &probe));
    ASSERT_TRUE(probe.opened);
    EXPECT_TRUE(probe.window_visible);
    EXPECT_TRUE(probe.window_shown) << "show_window comes before MIDI, so its box stands over the window";
    EXPECT_TRUE(probe.artwork_built);
    EXPECT_EQ(probe.zones, 5);
    EXPECT_TRUE(probe.presented) << "the first picture is on the screen before the sound device opens";
    EXPECT_FALSE(probe.icon_set) << "the icon comes after the sound device";
    EXPECT_EQ(probe.game_over, 0) << "game_over is set after MIDI";

    const HeadlessLog& log = headless_log();
    EXPECT_EQ(log.title, "Colonnade4");
    EXPECT_EQ(log.window_width, 400);
    EXPECT_EQ(log.window_height, 600);
    EXPECT_EQ(log.window_x, (HEADLESS_SCREEN_WIDTH - 400) / 2);
    EXPECT_EQ(log.window_y, (HEADLESS_SCREEN_HEIGHT - 600) / 2);
    EXPECT_EQ(log.timer_period_ms, 50);
    EXPECT_EQ(log.icon_sizes, (std::vector<int>{16, 32, 48, 64, 128}));
    EXPECT_EQ(log.threads_at_screen_start, 1) << "the display's start may fork: no other thread may run then";
    EXPECT_EQ(game.game_over, 1);
    EXPECT_EQ(game.hover_zone, ZONE_NONE);
    EXPECT_EQ(game.current_level, 0);
    EXPECT_EQ(game.banner_step, 10);

    // The first repaint applied the rounded shape and showed the view.
    ASSERT_TRUE(run_script());
    EXPECT_EQ(log.shape_count, 1);
    EXPECT_EQ(log.shape_corner_width, 100);
    EXPECT_EQ(log.shape_corner_height, 100);
    int w = 0, h = 0;
    const uint32_t* backdrop = sprite_pixels(SPRITE_BACKDROP, &w, &h);
    for (int y = 0; y < 600; y += 3)
        for (int x = 0; x < 400; x += 3) {
            const bool score_texts = x >= 250 && y >= 115 && y < 190;
            if (!score_texts) {
                ASSERT_EQ(shown_rgb(x, y), rgb_at(backdrop, w, x, y)) << x << "," << y;
            }
        }
    EXPECT_EQ(shown_rgb(360, 225), (Rgb{41, 171, 219})) << "the flat board beside the message area";
    EXPECT_EQ(shown_rgb(50, 225), shown_rgb(49, 224)) << "no turn disc before a level";
}

TEST_F(GameTest, StartUpSendsTheInstrumentsAfterTheOpen) {
    start();
    const std::vector<uint32_t> expected = {0x00C0, 0x0CC0, 0x0BC1, 0x37C2};
    EXPECT_EQ(midi.delivered_words(), expected);
}

TEST_F(GameTest, BoardIgnoresKeysAndClicksUntilALevelIsChosen) {
    start();
    headless_key(KEY_DIGIT_1 + 3);
    headless_key(KEY_NUMPAD_1 + 2);
    headless_click(200, 400);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(discs_on_board(CELL_HUMAN) + discs_on_board(CELL_CPU), 0);
    EXPECT_EQ(midi.messages.size(), 4u);
}

TEST_F(GameTest, NoScreenEndsSilentlyWithExitCodeZero) {
    headless_reset();
    headless_fail_screen(true);
    EXPECT_EQ(run_game(headless_backend(), &midi), 0);
    EXPECT_FALSE(headless_log().window_open);
    EXPECT_TRUE(headless_log().message_boxes.empty());
    EXPECT_EQ(midi.open_calls, 0);
}

TEST_F(GameTest, EveryWayOutEndsWithExitCodeZero) {
    // Escape, whatever the state of the game.
    headless_reset();
    headless_click(MOYEN_X, MOYEN_Y);
    headless_key(KEY_ESCAPE);
    headless_key(KEY_DIGIT_1);  // never reached
    EXPECT_EQ(run_game(headless_backend(), &midi), 0);
    EXPECT_TRUE(headless_log().shut_down);
    EXPECT_EQ(headless_log().script_ends, 0);
    EXPECT_EQ(headless_log().steps_left, 1);

    // The close cross, once the pointer has entered it.
    headless_reset();
    headless_click(360, 37);
    headless_key(KEY_DIGIT_1);
    EXPECT_EQ(run_game(headless_backend(), &midi), 0);
    EXPECT_EQ(headless_log().steps_left, 1);

    // A close request from the window manager.
    headless_reset();
    headless_close();
    headless_key(KEY_DIGIT_1);
    EXPECT_EQ(run_game(headless_backend(), &midi), 0);
    EXPECT_EQ(headless_log().steps_left, 1);
}

TEST_F(GameTest, MissingSoundDeviceShowsOneBoxAndTheGamePlaysSilently) {
    midi.fail_open = true;
    start();
    press_level(MOYEN_X, MOYEN_Y);
    for (int k = 0; k < 6; ++k)
        headless_key(KEY_DIGIT_1 + k);
    ASSERT_TRUE(run_script());
    ASSERT_EQ(headless_log().message_boxes.size(), 1u);
    EXPECT_EQ(headless_log().message_boxes[0].caption, "Problème");
    EXPECT_EQ(headless_log().message_boxes[0].text, "Impossible d'ouvrir le périphérique MIDI");
    EXPECT_TRUE(midi.messages.empty());
    EXPECT_GT(discs_on_board(CELL_HUMAN), 0);
}

TEST_F(GameTest, HoverEntersButtonsLightsThemAndLeavesThroughTheGaps) {
    start();
    ASSERT_TRUE(run_script());
    const HeadlessLog& log = headless_log();

    headless_move(NOVICE_X, NOVICE_Y);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.hover_zone, ZONE_NOVICE);
    EXPECT_EQ(log.cursor, CURSOR_HAND);
    EXPECT_EQ(shown_rgb(40, 100), (Rgb{80, 80, 255})) << "bright look";

    headless_move(80, 111);  // the gap between "Novice" and "Moyen"
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.hover_zone, ZONE_NONE);
    EXPECT_EQ(log.cursor, CURSOR_ARROW);
    EXPECT_EQ(shown_rgb(40, 100), (Rgb{80, 80, 208})) << "dim look again";

    // Straight from "Maître" up into "Moyen": Moyen comes earlier in the
    // list, so it is entered only on the next move.
    headless_move(MAITRE_X, MAITRE_Y);
    headless_move(MOYEN_X, MOYEN_Y);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.hover_zone, ZONE_NONE);
    headless_move(MOYEN_X, MOYEN_Y + 1);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.hover_zone, ZONE_MOYEN);

    // Straight from "Moyen" down to the board: the board comes later, so it
    // is entered in the same move.
    headless_move(200, 400);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.hover_zone, ZONE_BOARD);
    EXPECT_EQ(log.cursor, CURSOR_HAND);

    // Outside the window: in no zone.
    headless_move(-5, 300);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.hover_zone, ZONE_NONE);
}

TEST_F(GameTest, CloseCrossTurnsRedWhileHovered) {
    start();
    ASSERT_TRUE(run_script());
    headless_move(360, 37);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.hover_zone, ZONE_CLOSE);
    EXPECT_EQ(shown_rgb(360, 37), (Rgb{192, 32, 32}));
    headless_move(300, 37);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(shown_rgb(360, 37), (Rgb{32, 32, 32}));
    EXPECT_EQ(headless_log().cursor, CURSOR_ARROW);
}

TEST_F(GameTest, PressActsOnTheLastHoverNotOnWhereThePointerIs) {
    start();
    // The pointer is over "Moyen" but no move has entered it: the press drags.
    headless_set_pointer(MOYEN_X, MOYEN_Y);
    headless_press();
    ASSERT_TRUE(run_script());
    EXPECT_EQ(headless_log().drag_count, 1);
    EXPECT_EQ(game.game_over, 1);

    // A press on a zone never drags; outside every zone it does.
    headless_click(MOYEN_X, MOYEN_Y);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(headless_log().drag_count, 1);
    EXPECT_EQ(game.current_level, LEVEL_MOYEN);
    EXPECT_EQ(game.game_over, 0);
    headless_click(200, 20);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(headless_log().drag_count, 2);
}

TEST_F(GameTest, BoardPressUsesThePointersXWhenHandled) {
    start(1001);
    press_level(MAITRE_X, MAITRE_Y);
    headless_move(60, 400);  // the board is hovered over column 0
    ASSERT_TRUE(run_script());
    // Where the pointer is when the press is handled; no move event comes
    // in between, so the board stays the hovered zone.
    const struct {
        int x;
        int column;  // -1: no disc
    } presses[] = {
        {345, 6},   // (345 - 30) / 50
        {29, 0},    // (29 - 30) / 50 truncates to 0
        {380, -1},  // (380 - 30) / 50 = 7: no column
        {-20, -1},  // outside the window x reads -1: no column either
    };
    for (const auto& p : presses) {
        SCOPED_TRACE(p.x);
        const int humans = discs_on_board(CELL_HUMAN), cpus = discs_on_board(CELL_CPU);
        const int landing_row = p.column >= 0 ? count_free_cells(&game.game_board, p.column) - 1 : 0;
        headless_set_pointer(p.x, 400);
        headless_press();
        ASSERT_TRUE(run_script());
        if (p.column < 0) {
            EXPECT_EQ(discs_on_board(CELL_HUMAN), humans);
            EXPECT_EQ(discs_on_board(CELL_CPU), cpus);
        } else {
            EXPECT_EQ(game.game_board.cells[cell_index(p.column, landing_row)], CELL_HUMAN);
            EXPECT_EQ(discs_on_board(CELL_CPU), cpus + 1) << "the computer replied";
        }
    }
}

TEST_F(GameTest, DigitRowAndKeypadPlayTheSameColumn) {
    start();
    press_level(MOYEN_X, MOYEN_Y);
    const int humans = discs_on_board(CELL_HUMAN);
    headless_key(KEY_DIGIT_1 + 3);
    headless_key(KEY_NUMPAD_1 + 3);
    headless_key(0x38);  // "8": no column
    headless_key(0x60);  // keypad 0
    ASSERT_TRUE(run_script());
    EXPECT_EQ(discs_on_board(CELL_HUMAN), humans + 2);
    EXPECT_EQ(count_free_cells(&game.game_board, 3) <= 4, true);
    int in_column_3 = 0;
    for (int row = 0; row < BOARD_ROWS; ++row)
        in_column_3 += game.game_board.cells[cell_index(3, row)] == CELL_HUMAN;
    EXPECT_EQ(in_column_3, 2);
}

TEST_F(GameTest, KeyForAFullColumnDoesNothing) {
    start();
    press_level(MOYEN_X, MOYEN_Y);
    set_board({"hchchc", "", "c"});
    game.turn_marker = CELL_HUMAN;
    const size_t words = midi.messages.size();
    const int presents = headless_log().present_count;
    headless_key(KEY_DIGIT_1);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(midi.messages.size(), words);
    EXPECT_EQ(headless_log().present_count, presents);
    EXPECT_EQ(discs_on_board(CELL_HUMAN), 3);
}

TEST_F(GameTest, DoubleClickOnTheBoardPlaysOneDisc) {
    start();
    press_level(MOYEN_X, MOYEN_Y);
    const int humans = discs_on_board(CELL_HUMAN);
    headless_move(200, 400);
    headless_double_click();
    ASSERT_TRUE(run_script());
    EXPECT_EQ(discs_on_board(CELL_HUMAN), humans + 1);
}

TEST_F(GameTest, KeyPressedWhileTheComputerRepliesIsPlayedAfterIt) {
    start();
    press_level(MOYEN_X, MOYEN_Y);
    const int humans = discs_on_board(CELL_HUMAN);
    const uint64_t now_ms = headless_log().clock_us / 1000;
    headless_key(KEY_DIGIT_1);
    // Pressed while the first disc is still falling.
    headless_at_ms(now_ms + 120, [] { headless_key(KEY_DIGIT_1 + 6); });
    ASSERT_TRUE(run_script());
    EXPECT_EQ(discs_on_board(CELL_HUMAN), humans + 2);
    EXPECT_EQ(game.game_board.cells[cell_index(6, 5)], CELL_HUMAN);
}

TEST_F(GameTest, KeyPressedDuringAWinningReplyIsIgnoredOnceTheGameHasEnded) {
    start();
    press_level(MOYEN_X, MOYEN_Y);
    // The computer completes column 0 on its reply, whatever the human plays.
    set_board({"ccc", "", "", "", "", "h", "hh"});
    game.turn_marker = CELL_HUMAN;
    const uint64_t now_ms = headless_log().clock_us / 1000;
    headless_key(KEY_DIGIT_1 + 4);
    headless_at_ms(now_ms + 400, [] { headless_key(KEY_DIGIT_1 + 3); });  // during the animations
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.cpu_won, 1);
    EXPECT_EQ(discs_on_board(CELL_HUMAN), 4) << "only the move before the reply";
    EXPECT_EQ(count_free_cells(&game.game_board, 3), 6);
}

TEST_F(GameTest, HeldDigitKeyPlaysTheColumnAgainOnEveryRepeat) {
    start();
    press_level(MOYEN_X, MOYEN_Y);
    const int humans = discs_on_board(CELL_HUMAN);
    for (int repeat = 0; repeat < 3; ++repeat)
        headless_key(KEY_DIGIT_1 + 5);
    ASSERT_TRUE(run_script());
    int in_column_5 = 0;
    for (int row = 0; row < BOARD_ROWS; ++row)
        in_column_5 += game.game_board.cells[cell_index(5, row)] == CELL_HUMAN;
    EXPECT_EQ(discs_on_board(CELL_HUMAN), humans + 3);
    EXPECT_EQ(in_column_5, 3);
}

TEST_F(GameTest, LevelPressMidGameStartsAfreshAndKeepsTheScores) {
    start();
    press_level(MOYEN_X, MOYEN_Y);
    headless_key(KEY_DIGIT_1 + 2);
    ASSERT_TRUE(run_script());
    game.human_wins = 3, game.cpu_wins = 2, game.draw_count = 1;
    headless_move(MAITRE_X, MAITRE_Y);
    headless_press();
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.current_level, LEVEL_MAITRE);
    EXPECT_EQ(game.game_over, 0);
    EXPECT_LE(discs_on_board(CELL_HUMAN) + discs_on_board(CELL_CPU), 1);
    EXPECT_EQ(game.human_wins, 3);
    EXPECT_EQ(game.cpu_wins, 2);
    EXPECT_EQ(game.draw_count, 1);
}

TEST_F(GameTest, OpenerIsDrawnOnceThenAlternatesWhateverTheResults) {
    for (uint64_t seed_ms : {1000u, 1001u, 1002u, 1003u}) {
        start(seed_ms);
        std::vector<int8_t> openers;
        for (int round = 0; round < 4; ++round) {
            press_level(NOVICE_X, NOVICE_Y);
            headless_move(200, 20);  // leave the button, so the next press re-enters it
            openers.push_back(discs_on_board(CELL_CPU) == 1 ? CELL_CPU : CELL_HUMAN);
            // Play the game out (or not at all in round 1): the result must not matter.
            for (int move = 0; round != 1 && move < 30 && game.game_over == 0; ++move) {
                for (int c = 0; c < BOARD_COLUMNS; ++c) {
                    if (count_free_cells(&game.game_board, c) > 0) {
                        headless_key(KEY_DIGIT_1 + c);
                        break;
                    }
                }
                ASSERT_TRUE(run_script());
            }
            if (round != 1) {
                EXPECT_EQ(game.game_over, 1);
            }
        }
        for (int round = 1; round < 4; ++round)
            EXPECT_NE(openers[round], openers[round - 1]) << "seed " << seed_ms << " round " << round;
        EXPECT_EQ(game.human_wins + game.cpu_wins + game.draw_count, 3);
        shut_down_game();
    }
}

// The first game's opener: the computer opens exactly when the number
// drawn from 0 to 100 is below 50. The clock at start-up seeds the draw;
// these clocks give the draws at both ends and on both sides of 50 (at
// 1210 ms the 50 lies just under half way, where a draw from 0 to 99
// would give 49).
TEST_F(GameTest, FirstOpenerIsTheComputerExactlyWhenTheDrawIsBelowFifty) {
    const struct {
        uint64_t clock_ms;
        int32_t drawn;
        int8_t opener;
    } cases[] = {{1074, 0, CELL_CPU}, {1191, 49, CELL_CPU}, {1077, 50, CELL_HUMAN},
                   {1210, 50, CELL_HUMAN}, {1112, 100, CELL_HUMAN}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "clock " << c.clock_ms << " ms, drawn " << c.drawn);
        seed_random(uint32_t(c.clock_ms));
        ASSERT_EQ(random_upto(100), c.drawn) << "the table's draw";
        start(c.clock_ms);
        press_level(NOVICE_X, NOVICE_Y);
        EXPECT_EQ(discs_on_board(CELL_CPU), c.opener == CELL_CPU ? 1 : 0);
        EXPECT_EQ(discs_on_board(CELL_HUMAN), 0);
        if (c.opener == CELL_CPU) {
            EXPECT_EQ(game.game_board.cells[cell_index(3, 5)], CELL_CPU);
        }
        EXPECT_EQ(game.turn_marker, CELL_HUMAN);
        EXPECT_EQ(game.next_starter, c.opener == CELL_CPU ? CELL_HUMAN : CELL_CPU) << "the next game's opener";
        shut_down_game();
    }
}

// A new game forgets the last one: the second game at "Novice", opened by
// the computer after a finished first game, plays move for move as the
// first game of a fresh start that the computer opens, the computer's
// replies (deeper for its first three searches at this level) included.
TEST_F(GameTest, SecondGameAfterAFinishedOnePlaysAsAFirstGame) {
    struct Step {
        std::array<int8_t, BOARD_CELLS> cells;
        int8_t turn_marker, human_won, cpu_won, game_drawn, computer_move_count;
        int32_t game_over;
        std::vector<uint32_t> board_pixels;  // what the player sees of the board
        bool operator==(const Step&) const = default;
    };
    auto snapshot = [] {
        Step step{};
        std::copy(std::begin(game.game_board.cells), std::end(game.game_board.cells), step.cells.begin());
        step.turn_marker = game.turn_marker, step.human_won = game.human_won, step.cpu_won = game.cpu_won;
        step.game_drawn = game.game_drawn, step.computer_move_count = game.computer_move_count;
        step.game_over = game.game_over;
        const HeadlessLog& log = headless_log();
        step.board_pixels.assign(log.last_frame.begin() + 250 * log.frame_width, log.last_frame.end());
        return step;
    };
    // The human takes the first column with room in this order, over and over.
    constexpr int ORDER[] = {2, 4, 6, 0, 1, 5, 3};
    auto play_out = [&](std::vector<Step>* steps) {
        for (int move = 0; move < 21 && game.game_over == 0; ++move) {
            int column = ORDER[move % 7];
            while (count_free_cells(&game.game_board, column) == 0)
                column = (column + 1) % BOARD_COLUMNS;
            headless_key(KEY_DIGIT_1 + column);
            ASSERT_TRUE(run_script());
            if (steps) steps->push_back(snapshot());
        }
        ASSERT_EQ(game.game_over, 1);
    };

    // A fresh start whose first game the computer opens (draw 49).
    std::vector<Step> first;
    start(1191);
    press_level(NOVICE_X, NOVICE_Y);
    ASSERT_EQ(discs_on_board(CELL_CPU), 1);
    first.push_back(snapshot());
    play_out(&first);
    shut_down_game();

    // The human opens the first game (draw 50), which ends one way or
    // another after at least four searches; then the second game.
    const struct {
        const char* ending;
        std::vector<std::string> last_position;  // set before the last key; none: played out
        int last_column;
    } endings[] = {{"computer win", {}, 0},
                   {"human win", {"h", "h", "h", "", "c", "c"}, 3},
                   {"draw", draw_board_leaving({6}), 6}};
    for (const auto& e : endings) {
        SCOPED_TRACE(e.ending);
        start(1077);
        press_level(NOVICE_X, NOVICE_Y);
        ASSERT_EQ(discs_on_board(CELL_CPU), 0);
        if (e.last_position.empty()) {
            play_out(nullptr);
        } else {
            for (int move = 0; move < 4; ++move) {
                headless_key(KEY_DIGIT_1 + move);
                ASSERT_TRUE(run_script());
            }
            ASSERT_EQ(game.game_over, 0);
            set_board(e.last_position);
            headless_key(KEY_DIGIT_1 + e.last_column);
            ASSERT_TRUE(run_script());
        }
        ASSERT_EQ(game.human_wins + game.cpu_wins + game.draw_count, 1);
        ASSERT_EQ(game.cpu_wins, e.ending[0] == 'c' ? 1 : 0);
        ASSERT_EQ(game.human_wins, e.ending[0] == 'h' ? 1 : 0);
        ASSERT_GE(game.computer_move_count, 4) << "the first game used up the deeper searches";
        headless_move(200, 20);
        press_level(NOVICE_X, NOVICE_Y);
        std::vector<Step> second = {snapshot()};
        play_out(&second);
        shut_down_game();

        ASSERT_EQ(second.size(), first.size());
        for (size_t k = 0; k < first.size(); ++k)
            EXPECT_TRUE(second[k] == first[k]) << "after human move " << k;
    }
}

TEST_F(GameTest, WholeGameThroughTheLoopEndsWithOneCountedResult) {
    start(4242);
    press_level(MAITRE_X, MAITRE_Y);
    // The human plays the leftmost column with room until the game ends.
    for (int move = 0; move < 30 && game.game_over == 0; ++move) {
        for (int c = 0; c < BOARD_COLUMNS; ++c)
            if (count_free_cells(&game.game_board, c) > 0) {
                headless_key(KEY_DIGIT_1 + c);
                break;
            }
        ASSERT_TRUE(run_script());
    }
    ASSERT_EQ(game.game_over, 1);
    EXPECT_EQ(game.human_won + game.cpu_won + game.game_drawn, 1);
    EXPECT_EQ(game.human_wins + game.cpu_wins + game.draw_count, 1);
    EXPECT_EQ(game.turn_marker, 0);
    // Keys after the end do nothing.
    const int discs = discs_on_board(CELL_HUMAN) + discs_on_board(CELL_CPU);
    headless_key(KEY_DIGIT_1 + 6);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(discs_on_board(CELL_HUMAN) + discs_on_board(CELL_CPU), discs);
}

TEST_F(GameTest, RepaintRedrawsTheViewWithoutTheBanner) {
    start();
    press_level(MOYEN_X, MOYEN_Y);
    headless_idle_ms(1000);  // the banner blinks
    ASSERT_TRUE(run_script());
    const int shapes = headless_log().shape_count;
    headless_event(EV_PAINT);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(headless_log().shape_count, shapes + 1);
    int w = 0, h = 0;
    const uint32_t* backdrop = sprite_pixels(SPRITE_BACKDROP, &w, &h);
    for (int y = 200; y < 250; y += 7)
        for (int x = 100; x < 350; x += 7)
            EXPECT_EQ(shown_rgb(x, y), rgb_at(backdrop, w, x, y)) << x << "," << y;
}

}  // namespace
