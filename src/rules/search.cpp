#include "rules/search.h"

#include <algorithm>

#include "game/game_state.h"
#include "rules/lines.h"

// The tree, its order and its values are those of the plain minimax over
// board copies; only the bookkeeping is cheaper. Instead of rescanning the
// board, each node carries the sum of every line (h + 10 k, the board's sum
// property) and the leaf value evaluate(cpu) - evaluate(human) itself, which
// a drop updates through the few lines crossing its cell. The same pass tells
// whether the drop completed a line of four.

namespace {

constexpr int MAX_LINE_SUM = 4 * CELL_CPU;

// One line's share of evaluate(cpu) - evaluate(human): an open line scores
// 2 x discs + 1 for the side that owns all its discs (1 each when empty).
constexpr int line_value(int sum) {
    const int human = sum % CELL_CPU;
    const int cpu = sum / CELL_CPU;
    const int for_cpu = human == 0 ? 2 * cpu + 1 : 0;
    const int for_human = cpu == 0 ? 2 * human + 1 : 0;
    return for_cpu - for_human;
}

// Change of the leaf value when `disc` joins a line whose sum was `sum`.
struct GainTable {
    int8_t gain[MAX_LINE_SUM + 1];
};

constexpr GainTable build_gains(int disc) {
    GainTable table{};
    for (int sum = 0; sum + disc <= MAX_LINE_SUM; ++sum)
        table.gain[sum] = static_cast<int8_t>(line_value(sum + disc) - line_value(sum));
    return table;
}

constexpr GainTable HUMAN_GAINS = build_gains(CELL_HUMAN);
constexpr GainTable CPU_GAINS = build_gains(CELL_CPU);

template <int Disc>
constexpr const GainTable& gains() {
    return Disc == CELL_HUMAN ? HUMAN_GAINS : CPU_GAINS;
}

template <int Disc>
constexpr int opponent_of() {
    return Disc == CELL_HUMAN ? CELL_CPU : CELL_HUMAN;
}

struct SearchPosition {
    int8_t line_sum[LINE_COUNT];
    int8_t free_cells[BOARD_COLUMNS];
    int32_t score;  // evaluate_board(cpu) - evaluate_board(human)
};

SearchPosition position_of(const Board* board) {
    SearchPosition position{};
    for (int line = 0; line < LINE_COUNT; ++line) {
        int sum = 0;
        for (int k = 0; k < 4; ++k)
            sum += board->cells[LINES.cells[line][k]];
        position.line_sum[line] = static_cast<int8_t>(sum);
        position.score += line_value(sum);
    }
    for (int column = 0; column < BOARD_COLUMNS; ++column)
        position.free_cells[column] = static_cast<int8_t>(count_free_cells(board, column));
    return position;
}

bool holds_line(const SearchPosition& position, int player) {
    return std::find(position.line_sum, position.line_sum + LINE_COUNT, 4 * player) != position.line_sum + LINE_COUNT;
}

// Drops `Disc` into a column that has room. True when the disc completes a
// line of four of its side (a line summing to 3 x Disc held three of them and
// nothing else).
template <int Disc>
bool play(SearchPosition& position, int column) {
    const int cell = cell_index(column, --position.free_cells[column]);
    bool completes = false;
    int32_t score = position.score;
    for (int i = 0; i < LINES.count_through[cell]; ++i) {
        int8_t& sum = position.line_sum[LINES.through[cell][i]];
        completes |= sum == 3 * Disc;
        score += gains<Disc>().gain[sum];
        sum = static_cast<int8_t>(sum + Disc);
    }
    position.score = score;
    return completes;
}

// The same drop seen from a node just above the leaves: only the resulting
// leaf value is needed, so nothing is written.
template <int Disc>
bool peek(const SearchPosition& position, int column, int32_t* score) {
    const int cell = cell_index(column, position.free_cells[column] - 1);
    bool completes = false;
    int32_t value = position.score;
    for (int i = 0; i < LINES.count_through[cell]; ++i) {
        const int sum = position.line_sum[LINES.through[cell][i]];
        completes |= sum == 3 * Disc;
        value += gains<Disc>().gain[sum];
    }
    *score = value;
    return completes;
}

// The lines a search can meet were all on its starting board: a drop that
// completes one ends its node at once, so no child ever gets a new one. A
// board handed in with a line already (the developer tools allow it) makes
// every move of that side "complete" it, exactly as the full-board test would.
template <bool Counting>
class Search {
public:
    explicit Search(const SearchPosition& start)
        : human_line_(holds_line(start, CELL_HUMAN)), cpu_line_(holds_line(start, CELL_CPU)) {}

    template <int Disc>
    int32_t node(const SearchPosition& position, int depth);

    bool cpu_line_before() const { return cpu_line_; }
    SearchCounts counts{};

private:
    void count_call(bool leaf) {
        if constexpr (Counting) {
            ++counts.calls;
            counts.leaves += leaf ? 1 : 0;
        }
    }

    bool human_line_;
    bool cpu_line_;
};

template <bool Counting>
template <int Disc>
int32_t Search<Counting>::node(const SearchPosition& position, int depth) {
    count_call(depth == 0);
    if (depth == 0) return position.score;

    constexpr bool human = Disc == CELL_HUMAN;
    constexpr int32_t completed = human ? -SCORE_WIN : SCORE_WIN;
    const bool line_before = human ? human_line_ : cpu_line_;
    int32_t best = human ? SCORE_LIMIT : -SCORE_LIMIT;

    for (int column = 0; column < BOARD_COLUMNS; ++column) {
        if (position.free_cells[column] == 0) continue;
        if (line_before) return completed;
        int32_t value;
        if (depth == 1) {
            if (peek<Disc>(position, column, &value)) return completed;
            count_call(true);
        } else {
            SearchPosition child = position;
            if (play<Disc>(child, column)) return completed;
            value = node<opponent_of<Disc>()>(child, depth - 1);
        }
        best = human ? std::min(best, value) : std::max(best, value);
    }
    return best;
}

template <bool Counting>
int32_t search_value_with(const Board* board, int depth, int side, SearchCounts* counts) {
    const SearchPosition start = position_of(board);
    Search<Counting> search(start);
    const int32_t value = side == CELL_HUMAN ? search.template node<CELL_HUMAN>(start, depth)
                                             : search.template node<CELL_CPU>(start, depth);
    if (counts) *counts = search.counts;
    return value;
}

template <bool Counting>
MoveAnalysis analyse_board_with(const Board* board, int depth, SearchCounts* counts) {
    MoveAnalysis analysis{};
    analysis.column = -1;
    analysis.depth = depth;

    // A single column with room is played without a search.
    int open_columns = 0;
    for (int column = 0; column < BOARD_COLUMNS; ++column)
        if (board->cells[cell_index(column, 0)] == CELL_EMPTY) {
            ++open_columns;
            analysis.column = column;
        }
    if (open_columns == 1) {
        for (int column = 0; column < BOARD_COLUMNS; ++column)
            analysis.kind[column] = column == analysis.column ? CANDIDATE_ONLY : CANDIDATE_FULL;
        if (counts) *counts = SearchCounts{};
        return analysis;
    }

    const SearchPosition start = position_of(board);
    Search<Counting> search(start);
    analysis.column = -1;
    int32_t best_value = -SCORE_LIMIT;
    for (int column = 0; column < BOARD_COLUMNS; ++column) {
        if (start.free_cells[column] == 0) {
            analysis.kind[column] = CANDIDATE_FULL;
            continue;
        }
        SearchPosition child = start;
        if (play<CELL_CPU>(child, column) || search.cpu_line_before()) {
            analysis.kind[column] = CANDIDATE_WIN;
            analysis.column = column;
            break;
        }
        const int32_t value = search.template node<CELL_HUMAN>(child, depth);
        analysis.kind[column] = CANDIDATE_VALUE;
        analysis.value[column] = value;
        // An equal value replaces the earlier one: ties go to the highest column.
        if (value >= best_value) {
            best_value = value;
            analysis.column = column;
        }
    }
    if (counts) *counts = search.counts;
    return analysis;
}

}  // namespace

int32_t search_value(const Board* board, int depth, int side, SearchCounts* counts) {
    return counts ? search_value_with<true>(board, depth, side, counts)
                  : search_value_with<false>(board, depth, side, nullptr);
}

int search_depth(int32_t level, int8_t move_count) {
    constexpr int NOVICE_OPENING_MOVES = 3;
    constexpr int NOVICE_OPENING_DEPTH = LEVEL_MOYEN;
    if (level == LEVEL_NOVICE && move_count <= NOVICE_OPENING_MOVES) return NOVICE_OPENING_DEPTH;
    return level;
}

MoveAnalysis analyse_board(const Board* board, int depth, SearchCounts* counts) {
    return counts ? analyse_board_with<true>(board, depth, counts) : analyse_board_with<false>(board, depth, nullptr);
}

MoveAnalysis analyse_computer_move(SearchCounts* counts) {
    if (game.game_over != 0) {
        MoveAnalysis idle{};
        idle.column = 0;
        if (counts) *counts = SearchCounts{};
        return idle;
    }
    game.computer_move_count = static_cast<int8_t>(game.computer_move_count + 1);
    const int depth = search_depth(game.current_level, game.computer_move_count);
    return analyse_board(&game.game_board, depth, counts);
}

int choose_computer_move() { return analyse_computer_move().column; }
