#pragma once

#include <vector>

class QLineEdit;
class QTableView;

// The room a selection list gives its keys. A key is a short code of digits
// (municipality, business and person numbers); the free texts (names,
// places) share what the keys leave of the grid.

// keyChars[i]: the longest value of column i for a key column, 0 for a text
// column. Key columns always show their longest value, and their whole
// caption as far as the texts can spare the room (the clerk may widen them);
// the text columns stretch over the rest, so that every column lies inside
// the grid.
void fitColumns(QTableView *grid, const std::vector<int> &keyChars);

// A search box never narrower than its longest key.
void roomForKey(QLineEdit *field, int chars);
