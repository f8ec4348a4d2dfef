// Boards for the rules tests, written the way a person reads them.
#pragma once
#include <array>
#include <initializer_list>
#include <string>
#include "rules/board.h"

// Six rows, top row first, seven characters each: '.' empty, 'H' human, 'C' computer.
inline Board board_from_rows(const std::array<std::string, BOARD_ROWS>& rows) {
    Board board{};
    for (int row = 0; row < BOARD_ROWS; ++row)
        for (int column = 0; column < BOARD_COLUMNS; ++column) {
            const char c = rows[row][column];
            board.cells[cell_index(column, row)] = c == 'H' ? CELL_HUMAN : c == 'C' ? CELL_CPU : CELL_EMPTY;
        }
    return board;
}

// Columns 0 to 6 played alternately, `first` opening.
inline Board board_from_moves(std::initializer_list<int> columns, int first = CELL_HUMAN) {
    Board board{};
    int side = first;
    for (int column : columns) {
        drop_disc(&board, side, column);
        side = side == CELL_HUMAN ? CELL_CPU : CELL_HUMAN;
    }
    return board;
}
