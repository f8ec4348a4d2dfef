// Whole turns on the headless backend: outcomes, counters, the recorded
// line, the tunes and their virtual timing.
#include "game_fixture.h"

#include <algorithm>

#include "game/board_view.h"
#include "game/turn_sequence.h"
#include "rules/search.h"

namespace {

constexpr uint32_t note_off(int channel, int key) { return 0x7F0080u | uint32_t(channel) | uint32_t(key) << 8; }
constexpr uint32_t note_on(int channel, int key) { return 0x7F0090u | uint32_t(channel) | uint32_t(key) << 8; }
constexpr uint32_t DISC_OFF = 0x7F4A80, DISC_ON = 0x7F4A90;

class TurnSequenceTest : public GameTest {
protected:
    void SetUp() override {
        start();
        game.current_level = LEVEL_MOYEN;
        game.game_over = 0;
        game.turn_marker = CELL_HUMAN;
    }
    void human_plays(int column) {
        play_move(column, CELL_HUMAN);
        finish_human_turn();
    }
};

TEST_F(TurnSequenceTest, HumanWinRecordsTheLineCountsAndPlaysThreeHits) {
    set_board({"c", "c", "h", "h", "h", "", "c"});
    const size_t first = midi.messages.size();
    human_plays(5);

    EXPECT_EQ(game.game_over, 1);
    EXPECT_EQ(game.human_won, 1);
    EXPECT_EQ(game.cpu_won, 0);
    EXPECT_EQ(game.game_drawn, 0);
    EXPECT_EQ(game.turn_marker, 0);
    EXPECT_EQ(game.human_wins, 1);
    EXPECT_EQ(game.cpu_wins + game.draw_count, 0);
    const int32_t expected_line[4] = {150, 525, 300, 525};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(game.winning_line[k], expected_line[k]) << k;

    // The click of the disc, then three hits of key 74 on channel 2, 200 ms apart.
    const std::vector<uint32_t> expected = {DISC_OFF,        DISC_ON,        note_off(2, 74), note_on(2, 74),
                                            note_off(2, 74), note_on(2, 74), note_off(2, 74), note_on(2, 74)};
    EXPECT_EQ(words_since(first), expected);
    const uint32_t tune_start = midi.messages[first + 2].time_ms;
    EXPECT_EQ(midi.messages[first + 4].time_ms - tune_start, 200u);
    EXPECT_EQ(midi.messages[first + 6].time_ms - tune_start, 400u);
    EXPECT_EQ(tick_count_ms() - tune_start, 600u);

    // The green line joins the two end discs over them, 10 pixels wide; its
    // very end pixel takes the current colour, the scores' near-white.
    redraw_board_view();
    for (int x = 150; x < 300; x += 10) {
        EXPECT_EQ(screen_rgb(x, 525), (Rgb{0, 255, 0})) << x;
        EXPECT_EQ(screen_rgb(x, 521), (Rgb{0, 255, 0})) << x;
        EXPECT_NE(screen_rgb(x, 531), (Rgb{0, 255, 0})) << x;
    }
    EXPECT_EQ(screen_rgb(300, 525), (Rgb{250, 250, 250}));
}

TEST_F(TurnSequenceTest, ComputerWinsWithItsFirstWinningColumnAndPlaysElevenNotes) {
    set_board({"ccc", "", "", "", "", "h", "hh"});
    const size_t first = midi.messages.size();
    human_plays(4);

    EXPECT_EQ(game.cpu_won, 1);
    EXPECT_EQ(game.human_won, 0);
    EXPECT_EQ(game.cpu_wins, 1);
    EXPECT_EQ(game.turn_marker, 0);
    EXPECT_EQ(game.game_board.cells[cell_index(0, 2)], CELL_CPU);
    const int32_t expected_line[4] = {50, 375, 50, 525};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(game.winning_line[k], expected_line[k]) << k;

    // Two disc clicks, then eleven vibraphone notes with keys 80..100.
    const std::vector<uint32_t> words = words_since(first);
    ASSERT_EQ(words.size(), 4u + 22u);
    EXPECT_EQ(words[0], DISC_OFF);
    EXPECT_EQ(words[2], DISC_OFF);
    uint32_t previous = midi.messages[first + 4].time_ms;
    uint32_t pauses = 0;
    for (int k = 0; k < 11; ++k) {
        const RecordedMessage& off = midi.messages[first + 4 + 2 * k];
        const RecordedMessage& on = midi.messages[first + 5 + 2 * k];
        const int key = int((off.word >> 8) & 0xFF);
        EXPECT_EQ(off.word, note_off(1, key));
        EXPECT_EQ(on.word, note_on(1, key));
        EXPECT_GE(key, 80);
        EXPECT_LE(key, 100);
        if (k > 0) {
            EXPECT_EQ(off.time_ms - previous, uint32_t(200 - 10 * (k - 1))) << "pause before note " << k;
            pauses += off.time_ms - previous;
            previous = off.time_ms;
        }
    }
    pauses += tick_count_ms() - previous;
    EXPECT_EQ(pauses, 1650u);
}

TEST_F(TurnSequenceTest, HumanFillingTheLastCellDraws) {
    set_board(draw_board_leaving({6}));
    const size_t first = midi.messages.size();
    human_plays(6);

    EXPECT_EQ(game.game_drawn, 1);
    EXPECT_EQ(game.game_over, 1);
    EXPECT_EQ(game.human_won + game.cpu_won, 0);
    EXPECT_EQ(game.draw_count, 1);
    std::vector<uint32_t> expected = {DISC_OFF, DISC_ON};
    for (int key = 64; key <= 69; ++key) {
        expected.push_back(note_off(2, key));
        expected.push_back(note_on(2, key));
    }
    EXPECT_EQ(words_since(first), expected);
    for (int k = 1; k < 6; ++k)
        EXPECT_EQ(midi.messages[first + 2 + 2 * k].time_ms - midi.messages[first + 2 * k].time_ms, 200u);
    EXPECT_EQ(tick_count_ms() - midi.messages[first + 2].time_ms, 1200u);
}

TEST_F(TurnSequenceTest, ComputerFillingTheLastCellDrawsWithoutASearch) {
    set_board(draw_board_leaving({5, 6}));
    human_plays(6);
    EXPECT_EQ(game.game_drawn, 1);
    EXPECT_EQ(game.draw_count, 1);
    EXPECT_EQ(game.computer_move_count, 1);
    EXPECT_EQ(game.game_board.cells[cell_index(5, 0)], CELL_CPU);
    EXPECT_EQ(is_board_full(), 1);
}

TEST_F(TurnSequenceTest, LineInTheLastCellIsAWinNotADraw) {
    std::vector<std::string> board = draw_board_leaving({6});
    // Row 0 then reads h c c h h h _: the last cell completes a human line.
    board[2].back() = 'c';
    board[3].back() = 'h';
    board[5].back() = 'h';
    set_board(board);
    ASSERT_EQ(find_winning_line(CELL_HUMAN), 0);
    human_plays(6);
    EXPECT_EQ(game.human_won, 1);
    EXPECT_EQ(game.draw_count, 0);
    EXPECT_EQ(game.human_wins, 1);
}

TEST_F(TurnSequenceTest, FindWinningLineKeepsTheFirstLineOfTheScanOrder) {
    // Row 5 columns 0-3 and column 0 rows 2-5 share (0, 5): horizontal first.
    set_board({"hhhh", "h", "h", "h"});
    EXPECT_EQ(find_winning_line(CELL_HUMAN), 1);
    const int32_t across[4] = {50, 525, 200, 525};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(game.winning_line[k], across[k]);

    // A rising diagonal (0,5) (1,4) (2,3) (3,2) is found from its bottom end.
    set_board({"h", "ch", "cch", "ccch"});
    EXPECT_EQ(find_winning_line(CELL_HUMAN), 1);
    const int32_t rising[4] = {50, 525, 200, 375};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(game.winning_line[k], rising[k]);

    // No line: the recorded line stays as it was.
    set_board({"hhh"});
    EXPECT_EQ(find_winning_line(CELL_HUMAN), 0);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(game.winning_line[k], rising[k]);
    EXPECT_EQ(find_winning_line(CELL_CPU), 0);
}

// All 69 lines of four, each alone on the board: a human line ends the game
// at once as a human win, with no reply; a computer line is found for the
// computer only. The recorded line joins the disc centres (50i + 50,
// 50j + 275) of the scan's first cell (i, j) and of the fourth.
TEST_F(TurnSequenceTest, EachOfThe69LinesEndsTheGameAndIsRecordedFromItsFirstCell) {
    const struct Scan {
        const char* name;
        int first_column, last_column, first_row, last_row;  // where a line starts
        int column_step, row_step;
        int end_dx, end_dy;  // from the first centre to the fourth
    } scans[] = {{"horizontal", 0, 3, 0, 5, 1, 0, 150, 0},
                 {"vertical", 0, 6, 0, 2, 0, 1, 0, 150},
                 {"diagonal down", 0, 3, 0, 2, 1, 1, 150, 150},
                 {"diagonal up", 0, 3, 3, 5, 1, -1, 150, -150}};
    int lines = 0;
    for (const Scan& scan : scans)
        for (int i = scan.first_column; i <= scan.last_column; ++i)
            for (int j = scan.first_row; j <= scan.last_row; ++j) {
                SCOPED_TRACE(testing::Message() << scan.name << " from (" << i << ", " << j << ")");
                ++lines;
                const int32_t line[4] = {50 * i + 50, 50 * j + 275, 50 * i + 50 + scan.end_dx,
                                         50 * j + 275 + scan.end_dy};
                for (int8_t owner : {CELL_HUMAN, CELL_CPU}) {
                    game.game_board = Board{};
                    for (int k = 0; k < 4; ++k)
                        game.game_board.cells[cell_index(i + k * scan.column_step, j + k * scan.row_step)] = owner;
                    const int8_t other = owner == CELL_HUMAN ? CELL_CPU : CELL_HUMAN;
                    EXPECT_EQ(find_winning_line(other), 0);
                    game.game_over = 0, game.human_won = 0, game.turn_marker = CELL_HUMAN;
                    std::fill(std::begin(game.winning_line), std::end(game.winning_line), 0);
                    const int32_t wins_before = game.human_wins;
                    if (owner == CELL_HUMAN) {
                        finish_human_turn();
                        EXPECT_EQ(game.game_over, 1);
                        EXPECT_EQ(game.human_won, 1);
                        EXPECT_EQ(game.human_wins, wins_before + 1);
                        EXPECT_EQ(discs_on_board(CELL_CPU), 0) << "no reply after a win";
                    } else {
                        EXPECT_EQ(find_winning_line(CELL_CPU), 1);
                    }
                    for (int k = 0; k < 4; ++k)
                        EXPECT_EQ(game.winning_line[k], line[k]) << "value " << k;
                }
            }
    EXPECT_EQ(lines, 69);
}

TEST_F(TurnSequenceTest, ScorePanelShowsCountsAndTruncatedPercentages) {
    using Texts = std::array<std::string, 6>;
    EXPECT_EQ(score_panel_texts(), (Texts{"0", "0", "0", "0 %", "0 %", "0 %"}));
    game.human_wins = 1;
    EXPECT_EQ(score_panel_texts(), (Texts{"1", "0", "0", "100 %", "0 %", "0 %"}));
    game.cpu_wins = 1;
    game.draw_count = 1;
    EXPECT_EQ(score_panel_texts(), (Texts{"1", "1", "1", "33 %", "33 %", "33 %"}));
    game.human_wins = 2;
    EXPECT_EQ(score_panel_texts(), (Texts{"2", "1", "1", "50 %", "25 %", "25 %"}));
}

TEST_F(TurnSequenceTest, ComputerOpensInTheMiddleColumnAndHandsTheTurnBack) {
    game.next_starter = CELL_CPU;
    new_game();
    EXPECT_EQ(game.game_board.cells[cell_index(3, 5)], CELL_CPU);
    EXPECT_EQ(discs_on_board(CELL_CPU), 1);
    EXPECT_EQ(game.turn_marker, CELL_HUMAN);
    EXPECT_EQ(game.next_starter, CELL_HUMAN);
    EXPECT_EQ(game.computer_move_count, 0);
    EXPECT_EQ(game.game_over, 0);
}

}  // namespace
