#pragma once
// Where a click in a report list with one caption column lands: the value cell it edits.

// Index of the value cell (0-based) shown in `column`, or -1 for the caption column and for
// no column at all (-1, or beyond the last of `columnCount`).
inline int EditedIndexOfColumn(int column, int columnCount) {
    return column >= 1 && column < columnCount ? column - 1 : -1;
}
