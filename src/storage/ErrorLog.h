#pragma once

#include <QString>
#include <QVariant>
#include <functional>

// Appends one record to Log/ERROR.LOG (a dated banner first when nothing was
// logged since Fehler_geloggt was last cleared) and sets Fehler_geloggt. A log
// that cannot be written is skipped silently: the running job goes on.
void Error_Log(const QVariant &label, const QVariant &source, const QVariant &number, const QVariant &text,
               const QVariant &caption, const QVariant &value);

// The exit prompt: offers the log when something was logged, at most once.
void Error_Log_Anzeigen();

// The handler convention of every procedure: run the body; on an error log one
// record with the procedure's label, the error's source and number, the
// standard text of that number, the caption and the value, and report false.
// A procedure that leaves on an error returns when this returns false; one that
// goes on with the next statement simply wraps each statement.
struct ErrorSite
{
    QString label;
    QString caption = QStringLiteral("Fehlerortung: ");
    // Evaluated when the error happens; by default the current Ortungs_Nr.
    std::function<QVariant()> value;
};

bool guarded(const ErrorSite &site, const std::function<void()> &body);

// Logs the exception being handled for a site (used inside catch blocks).
// An engine error that spoilt the unit of data being written (one business,
// engine::EngineError::spoilsUnit) is logged and then leaves as
// UnitAbandoned, which every handler passes on unlogged to whoever opened
// the unit: the rest of the unit is not tried, and the failure is logged
// once.
void logCurrentError(const ErrorSite &site);

struct UnitAbandoned
{
    int number; // the error that spoilt the unit
};

// The same for a statement run very often: no std::function is built.
template <typename Body> bool guardedStep(const ErrorSite &site, Body &&body)
{
    try {
        body();
        return true;
    } catch (...) {
        logCurrentError(site);
        return false;
    }
}
bool guarded(const QString &label, const std::function<void()> &body);
