// colonnade4-engine: the rules engine from the command line.
//
//   colonnade4-engine bench
//       Searches a fixed set of positions at each level; prints the work done
//       (deterministic: a changed count is a changed search) and the time.
//   colonnade4-engine analyse LEVEL COUNT MOVES
//       The candidate values and the column the computer would play.
//
// MOVES lists the columns played so far as digits 1 to 7, the human first
// and then alternately; a leading 'c' means the computer opened.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/game_state.h"
#include "rules/board.h"
#include "rules/search.h"

namespace {

constexpr int EXIT_BAD_USAGE = 2;

void print_usage() {
    std::fputs(
        "usage: colonnade4-engine bench\n"
        "       colonnade4-engine analyse LEVEL COUNT MOVES\n"
        "  LEVEL  2 Novice, 3 Moyen, 4 Maître\n"
        "  COUNT  computer_move_count before the move\n"
        "  MOVES  columns 1-7 played so far, human first ('c' first: the computer opened)\n",
        stderr);
}

int fail(const std::string& message) {
    std::fprintf(stderr, "colonnade4-engine: %s\n", message.c_str());
    return EXIT_BAD_USAGE;
}

// Replays MOVES into `board`. Returns an empty string, or what is wrong.
std::string replay(const std::string& moves, Board* board, int* computer_discs_chosen) {
    *board = Board{};
    *computer_discs_chosen = 0;
    size_t first = 0;
    bool computer_opened = false;
    if (!moves.empty() && moves[0] == 'c') {
        computer_opened = true;
        first = 1;
    }
    for (size_t i = first; i < moves.size(); ++i) {
        const char digit = moves[i];
        if (digit < '1' || digit > '7') return std::string("bad move '") + digit + "' (columns are 1 to 7)";
        if (has_four_in_row(board, CELL_HUMAN) || has_four_in_row(board, CELL_CPU))
            return "move " + std::to_string(i - first + 1) + " comes after a line of four";
        const bool human_turn = ((i - first) % 2 == 0) != computer_opened;
        if (!drop_disc(board, human_turn ? CELL_HUMAN : CELL_CPU, digit - '1'))
            return std::string("column ") + digit + " is full";
        if (!human_turn) ++*computer_discs_chosen;
    }
    // The computer's opening disc is played by new_game, not chosen by a search.
    if (computer_opened && *computer_discs_chosen > 0) --*computer_discs_chosen;
    return {};
}

void set_up_game(const Board& board, int level, int move_count) {
    game.game_board = board;
    game.current_level = level;
    game.computer_move_count = static_cast<int8_t>(move_count);
    game.game_over = 0;
}

std::string describe(const MoveAnalysis& analysis) {
    std::string line = "values";
    for (int column = 0; column < BOARD_COLUMNS; ++column) {
        line += ' ' + std::to_string(column + 1) + ':';
        switch (analysis.kind[column]) {
        case CANDIDATE_VALUE: line += std::to_string(analysis.value[column]); break;
        case CANDIDATE_FULL: line += "full"; break;
        case CANDIDATE_ONLY: line += "only"; break;
        case CANDIDATE_WIN: line += "win"; return line;  // the search stops at a win
        case CANDIDATE_UNTRIED: line += "-"; break;
        }
    }
    return line;
}

int analyse(const char* level_text, const char* count_text, const std::string& moves) {
    const std::string level(level_text);
    if (level != "2" && level != "3" && level != "4") return fail("unknown level '" + level + "' (2, 3 or 4)");
    char* end = nullptr;
    const long count = std::strtol(count_text, &end, 10);
    if (*count_text == '\0' || *end != '\0' || count < INT8_MIN || count > INT8_MAX)
        return fail(std::string("bad move count '") + count_text + "'");

    Board board;
    int chosen = 0;
    const std::string error = replay(moves, &board, &chosen);
    if (!error.empty()) return fail(error);

    set_up_game(board, level[0] - '0', static_cast<int>(count));
    const MoveAnalysis analysis = analyse_computer_move();
    std::printf("%s\n", describe(analysis).c_str());
    if (analysis.column < 0)
        std::printf("move none\n");
    else
        std::printf("move %d\n", analysis.column + 1);
    return 0;
}

// The bench set. Each position is searched at every level with the move
// count the game itself would have reached, so "Novice" runs at depth 3 on
// the early positions and at depth 2 on the later ones.
const char* const BENCH_POSITIONS[] = {
    "4",                                    // the human opens in the middle: the costliest search of a game
    "1",                                    // the human opens on the edge
    "c44",                                  // the computer opened; its first chosen move
    "4433454",                              // early middle game: "Novice" at depth 2 plays 3, "Moyen" 4
    "4453352667",                           // middle game, ten discs, no threat yet
    "445335266777212",                      // the human threatens a line only column 2 blocks
    "4533227135451355616426464222113",      // crowded: 31 discs, six columns open
    "47741241162223171433453435513276756",  // near the end: 35 discs, four columns open
};

constexpr int BENCH_LEVELS[] = {LEVEL_NOVICE, LEVEL_MOYEN, LEVEL_MAITRE};
constexpr double MIN_BENCH_SECONDS = 0.1;
constexpr int MIN_BENCH_SAMPLES = 5;

double median_ms(const Board& board, int level, int move_count) {
    using Clock = std::chrono::steady_clock;
    std::vector<double> samples;
    double total = 0;
    set_up_game(board, level, move_count);
    choose_computer_move();  // warm the caches
    while (total < MIN_BENCH_SECONDS || samples.size() < MIN_BENCH_SAMPLES) {
        set_up_game(board, level, move_count);
        const auto begin = Clock::now();
        choose_computer_move();
        const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        samples.push_back(seconds * 1000.0);
        total += seconds;
    }
    std::sort(samples.begin(), samples.end());
    const size_t middle = samples.size() / 2;
    return samples.size() % 2 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

int bench() {
    int64_t total_calls = 0;
    for (const char* moves : BENCH_POSITIONS) {
        Board board;
        int chosen = 0;
        const std::string error = replay(moves, &board, &chosen);
        if (!error.empty()) return fail(std::string("bench position ") + moves + ": " + error);
        for (int level : BENCH_LEVELS) {
            SearchCounts counts{};
            set_up_game(board, level, chosen);
            analyse_computer_move(&counts);
            const double ms = median_ms(board, level, chosen);
            std::printf("position %s level %d calls %lld leaves %lld median_ms %.3f\n", moves, level,
                        static_cast<long long>(counts.calls), static_cast<long long>(counts.leaves), ms);
            total_calls += counts.calls;
        }
    }
    std::printf("nodes %lld\n", static_cast<long long>(total_calls));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "bench" && argc == 2) return bench();
    if (command == "analyse") {
        if (argc != 5) return fail("analyse takes LEVEL COUNT MOVES");
        return analyse(argv[2], argv[3], argv[4]);
    }
    if (command == "bench") return fail("bench takes no arguments");
    print_usage();
    return EXIT_BAD_USAGE;
}
