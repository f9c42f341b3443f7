// Fixed planner statistics and the list indexes a working database needs, added where a file lacks them.
#pragma once

struct sqlite3;

namespace engine {

// Row estimates for the indexes of the working database, as the query
// planner reads them from sqlite_stat1. Without them SQLite takes any index
// on a constant for a narrow one: it drives the business list from the
// address kind (half of all addresses) and, told to keep the order of a
// join, looks the addresses up through that index, once per business.
// The figures describe the shape of a file (two addresses per business,
// a handful of address kinds, unique person numbers), not its size, so they
// are written once and never measured: plans stay the same from the empty
// template to a million businesses.
//
// Writes them into a file that has no statistics yet, for the indexes it
// has; a file with statistics of its own keeps them. False when they could
// not be written (read-only or busy file); the file then works as before.
bool writePlannerStatistics(sqlite3 *db);

// Adds to a working database the indexes that let the lists find a row from
// the index alone and that files of earlier versions lack, with their figures
// when the file has statistics already. Building them reads the table once,
// the first time the program opens such a file. False when they could not be
// added (read-only or busy file, full disk); the file is then unchanged and
// works as before, only slower.
bool addListIndexes(sqlite3 *db);

} // namespace engine
