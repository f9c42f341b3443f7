#pragma once

#include "engine/Recordset.h"

#include <QObject>
#include <QString>
#include <memory>

namespace engine {
class Database;
}

// A database-bound view: a database file, a record source (table name or SQL
// text), the record set a Refresh produced, a caption for its navigator and an
// on/off switch. Reposition is raised synchronously after every Refresh and
// after every move of its record set, also by code, before that call returns.
class BoundView : public QObject
{
    Q_OBJECT
public:
    explicit BoundView(const QString &name, QObject *parent = nullptr);
    ~BoundView() override;

    QString DatabaseName() const { return m_databaseName; }
    void setDatabaseName(const QString &path) { m_databaseName = path; }
    QString RecordSource() const { return m_recordSource; }
    void setRecordSource(const QString &source) { m_recordSource = source; }

    // Runs the record source on the database and makes the first row current.
    // Empty database name and record source detach the view from its file.
    void Refresh();
    // Joins shown in a grid: a Refresh reads the first rows and leaves the
    // others to be read between events; rowsArrived tells of them.
    void setReadOnInBackground(bool on) { m_readOn = on; }
    // The current result; null while the view is detached.
    std::shared_ptr<engine::Recordset> Recordset() const { return m_recordset; }

    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool on);
    bool Visible() const { return m_visible; }
    void setVisible(bool on);

    // Navigator buttons: move, then Reposition (through the record set).
    void navigateFirst();
    void navigatePrevious();
    void navigateNext();
    void navigateLast();

    // The value of a column of the current row, or an invalid value when the
    // view has no current row (a bound box then shows nothing).
    QVariant currentValue(const QString &column) const;

signals:
    void Reposition();
    void captionChanged(const QString &caption);
    void enabledChanged(bool on);
    void visibleChanged(bool on);
    // A Refresh replaced the record set (grids reset their rows).
    void recordsetReplaced();
    // More rows of the record set became known, or all of them.
    void rowsArrived();

private:
    QString m_databaseName;
    QString m_recordSource;
    QString m_caption;
    bool m_enabled = true;
    bool m_visible = true;
    bool m_readOn = false;
    std::shared_ptr<engine::Database> m_database;
    std::shared_ptr<engine::Recordset> m_recordset;
};
