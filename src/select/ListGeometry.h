#pragma once

#include <vector>

class QLineEdit;
class QTableView;

// The room a selection list gives its keys. A key is a short code of digits
// (municipality, business and person numbers); the free texts (names,
// places) share what the keys leave of the grid.

// keyChars[i]: the longest value of column i for a key column, 0 for a text
// column. Every caption shows whole, broken onto two lines where one line
// each would not leave the grid room; key columns always show their longest
// value; the text columns share the rest, so that every column lies inside
// the grid. The clerk may widen a column until the grid's width changes.
void fitColumns(QTableView *grid, const std::vector<int> &keyChars);

// A search box never narrower than its longest key.
void roomForKey(QLineEdit *field, int chars);
