#include "storage/BoundView.h"

#include "engine/Database.h"

BoundView::BoundView(const QString &name, QObject *parent) : QObject(parent)
{
    setObjectName(name);
}

BoundView::~BoundView()
{
    // Whoever still holds the record set must not call back into a view that is gone.
    if (m_recordset) {
        m_recordset->setMoveListener(nullptr);
        m_recordset->setRowsListener(nullptr);
    }
}

void BoundView::Refresh()
{
    if (m_recordset) {
        m_recordset->setMoveListener(nullptr);
        m_recordset->setRowsListener(nullptr);
    }
    m_recordset.reset();
    m_database.reset();
    if (m_databaseName.isEmpty() && m_recordSource.isEmpty()) {
        emit recordsetReplaced();
        emit Reposition();
        return;
    }
    if (m_databaseName.isEmpty() || m_recordSource.isEmpty()) {
        emit recordsetReplaced();
        emit Reposition();
        throw engine::EngineError(m_databaseName.isEmpty() ? engine::err::FileNotFound : engine::err::TableNotFound,
                                  QStringLiteral("Data"), objectName());
    }
    try {
        m_database = engine::Database::open(m_databaseName);
        m_recordset = m_readOn ? m_database->openRecordsetReadingOn(m_recordSource)
                               : m_database->openRecordset(m_recordSource);
    } catch (...) {
        m_recordset.reset();
        m_database.reset();
        emit recordsetReplaced();
        emit Reposition();
        throw;
    }
    m_recordset->setMoveListener([this] { emit Reposition(); });
    m_recordset->setRowsListener([this] { emit rowsArrived(); });
    emit recordsetReplaced();
    emit Reposition();
}

void BoundView::setCaption(const QString &caption)
{
    if (m_caption == caption)
        return;
    m_caption = caption;
    emit captionChanged(caption);
}

void BoundView::setEnabled(bool on)
{
    if (m_enabled == on)
        return;
    m_enabled = on;
    emit enabledChanged(on);
}

void BoundView::setVisible(bool on)
{
    if (m_visible == on)
        return;
    m_visible = on;
    emit visibleChanged(on);
}

void BoundView::navigateFirst()
{
    if (m_recordset && m_recordset->recordCount() > 0)
        m_recordset->moveFirst();
}

void BoundView::navigatePrevious()
{
    if (!m_recordset || m_recordset->recordCount() == 0)
        return;
    // The navigator stays on the first row instead of running onto BOF.
    if (!m_recordset->bof())
        m_recordset->movePrevious();
    if (m_recordset->bof())
        m_recordset->moveFirst();
}

void BoundView::navigateNext()
{
    if (!m_recordset || m_recordset->recordCount() == 0)
        return;
    if (!m_recordset->eof())
        m_recordset->moveNext();
    if (m_recordset->eof())
        m_recordset->moveLast();
}

void BoundView::navigateLast()
{
    if (m_recordset && m_recordset->recordCount() > 0)
        m_recordset->moveLast();
}

QVariant BoundView::currentValue(const QString &column) const
{
    if (!m_recordset || !m_recordset->isOpen() || m_recordset->eof() || m_recordset->bof())
        return {};
    try {
        return m_recordset->value(column);
    } catch (const engine::EngineError &) {
        return {};
    }
}
