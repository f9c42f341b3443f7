#pragma once

#include <QString>
#include <functional>

// Runs one action of a selection list. A failure (an engine error, a query
// the engine rejects, a file that went away) must not take the program down:
// it is written to the error log and the clerk gets a box that says which
// action failed, with the engine's number and text. Returns false then.
bool listStep(const QString &title, const QString &label, const QString &failure, const std::function<void()> &body);
