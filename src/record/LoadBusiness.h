#pragma once

#include <QVariant>

// Loads one business (municipality key, business number, history number)
// into the record window's views.
void DB_Load_DATA(const QVariant &gemKz, const QVariant &betrNr, const QVariant &betrHistNr);
