// The record set's fields, their conversion, and changing rows: adding, editing, deleting.

#include "engine/Recordset.h"

#include "engine/Connection.h"
#include "engine/Database.h"
#include "engine/JetSql.h"
#include "engine/QueryText.h"

#include <sqlite3.h>

#include <QStringEncoder>
#include <algorithm>
#include <limits>

namespace engine {

using namespace querytext;

// ---------------------------------------------------------------- fields

int Recordset::fieldIndex(const QString &rawName) const
{
    // A set's fields never change once it is open, and the same few names
    // are asked for again and again (every element line of an import).
    const auto known = m_indexOf.constFind(rawName);
    if (known != m_indexOf.constEnd())
        return *known;
    const int index = lookUpField(rawName);
    if (m_indexOf.size() < 512)
        m_indexOf.insert(rawName, index);
    return index;
}

int Recordset::fieldIndex(QStringView rawName) const
{
    // Power of two, at most half of it used.
    constexpr size_t kSlots = 128;
    if (m_viewIndex.empty())
        m_viewIndex.resize(kSlots);
    // Short names of a few dozen columns: a plain multiplicative hash spreads them well enough.
    const auto hashOf = [](QStringView name) {
        size_t h = size_t(name.size());
        for (const QChar c : name)
            h = h * 31 + c.unicode();
        return h ^ (h >> 7);
    };
    const size_t hash = hashOf(rawName);
    for (size_t slot = hash & (kSlots - 1);; slot = (slot + 1) & (kSlots - 1)) {
        const ViewIndex &v = m_viewIndex[slot];
        if (v.name.isNull())
            break;
        if (v.name == rawName)
            return v.index;
    }
    const QString name = rawName.toString();
    const int index = fieldIndex(name);
    if (m_viewIndexUsed < int(kSlots / 2) && !name.isNull()) {
        size_t slot = hash & (kSlots - 1);
        while (!m_viewIndex[slot].name.isNull())
            slot = (slot + 1) & (kSlots - 1);
        m_viewIndex[slot] = {name, index};
        ++m_viewIndexUsed;
    }
    return index;
}

int Recordset::lookUpField(const QString &rawName) const
{
    // Most names come plain; only bracketed or padded ones need cleaning.
    const bool plain = !rawName.isEmpty() && !rawName.contains(QLatin1Char('[')) && rawName.front() != QLatin1Char(' ')
                       && rawName.back() != QLatin1Char(' ');
    const QString name = plain ? rawName : bare(rawName);
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    const int dot = name.indexOf(QLatin1Char('.'));
    if (dot > 0) {
        const QString table = name.left(dot), column = name.mid(dot + 1);
        for (size_t i = 0; i < m_fields.size(); ++i)
            if (m_fields[i].table.compare(table, Qt::CaseInsensitive) == 0
                && m_fields[i].plainName.compare(column, Qt::CaseInsensitive) == 0)
                return int(i);
        return -1;
    }
    int found = -1;
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].plainName.compare(name, Qt::CaseInsensitive) == 0) {
            if (found >= 0)
                return -1; // ambiguous
            found = int(i);
        }
    }
    return found;
}

const FieldInfo &Recordset::fieldInfo(int index) const
{
    checkIndex(index);
    return m_fields[size_t(index)];
}

Field Recordset::field(int index)
{
    requireOpen();
    checkIndex(index);
    return Field(this, index);
}

Field Recordset::field(const QString &name)
{
    requireOpen();
    const int index = fieldIndex(name);
    if (index < 0)
        throw EngineError(err::ItemNotFound, source(), name);
    return Field(this, index);
}

Field Recordset::field(QStringView name)
{
    requireOpen();
    const int index = fieldIndex(name);
    if (index < 0)
        throw EngineError(err::ItemNotFound, source(), name.toString());
    return Field(this, index);
}

std::vector<QVariant> Recordset::convertedRow(const std::vector<QVariant> &raw) const
{
    std::vector<QVariant> row(m_fields.size());
    for (size_t i = 0; i < m_fields.size(); ++i)
        row[i] = convertRead(int(i), raw[i + 1]);
    return row;
}

QVariant Recordset::convertRead(int index, const QVariant &v) const
{
    if (!v.isValid())
        return v;
    switch (m_fields[size_t(index)].type) {
    case ftype::Boolean:
        return QVariant(v.toLongLong() != 0);
    case ftype::Long:
        return v.typeId() == QMetaType::LongLong ? QVariant(int(v.toLongLong())) : v;
    default:
        return v;
    }
}

QVariant Recordset::value(int index) const
{
    auto *self = const_cast<Recordset *>(this);
    self->requireOpen();
    checkIndex(index);
    if (m_mode != EditMode::None)
        return convertRead(index, m_buffer[size_t(index)]);
    requireCurrent();
    self->loadRow();
    return convertRead(index, m_row[size_t(index) + 1]);
}

QVariant Recordset::value(const QString &name) const
{
    requireOpen();
    const int index = fieldIndex(name);
    if (index < 0)
        throw EngineError(err::ItemNotFound, source(), name);
    return value(index);
}

QVariant Recordset::convertForStore(int index, const QVariant &v) const
{
    const FieldInfo &f = m_fields[size_t(index)];
    if (isNull(v))
        return {};
    switch (f.type) {
    case ftype::Boolean: {
        if (v.typeId() == QMetaType::QString) {
            const QString s = v.toString().trimmed();
            bool ok = false;
            const qlonglong n = s.toLongLong(&ok);
            if (ok)
                return qlonglong(n != 0 ? -1 : 0);
            if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || s.compare(QLatin1String("wahr"), Qt::CaseInsensitive) == 0)
                return qlonglong(-1);
            if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || s.compare(QLatin1String("falsch"), Qt::CaseInsensitive) == 0)
                return qlonglong(0);
            throw EngineError(13, QStringLiteral("DAO.Field"), f.name);
        }
        return qlonglong(v.toBool() || v.toLongLong() != 0 ? -1 : 0);
    }
    case ftype::Long: {
        bool ok = false;
        const qlonglong n = v.toLongLong(&ok);
        if (!ok)
            throw EngineError(13, QStringLiteral("DAO.Field"), f.name);
        return n;
    }
    case ftype::Double: {
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok)
            throw EngineError(13, QStringLiteral("DAO.Field"), f.name);
        return d;
    }
    default: {
        const QString s = v.typeId() == QMetaType::Bool ? (v.toBool() ? QStringLiteral("Wahr") : QStringLiteral("Falsch"))
                                                        : v.toString();
        if (f.type == ftype::Text && f.size > 0 && s.size() > f.size)
            throw EngineError(err::FieldTooSmall, QStringLiteral("DAO.Field"), f.name);
        return s;
    }
    }
}

void Recordset::setValue(int index, const QVariant &v)
{
    requireOpen();
    checkIndex(index);
    if (m_mode == EditMode::None)
        throw EngineError(err::UpdateWithoutAddNew, source());
    if (m_fields[size_t(index)].baseColumn.isEmpty())
        throw EngineError(err::ReadOnly, source(), m_fields[size_t(index)].name);
    m_buffer[size_t(index)] = convertForStore(index, v);
    m_dirty[size_t(index)] = 1;
}

void Recordset::setValue(const QString &name, const QVariant &v)
{
    requireOpen();
    const int index = fieldIndex(name);
    if (index < 0)
        throw EngineError(err::ItemNotFound, source(), name);
    setValue(index, v);
}

// ---------------------------------------------------------------- changing

void Recordset::addNew()
{
    requireOpen();
    if (!updatable())
        throw EngineError(err::ReadOnly, source(), m_name);
    if (m_defaults.size() != m_fields.size()) {
        m_defaults.clear();
        for (const FieldInfo &f : m_fields)
            m_defaults.push_back(f.defaultValue);
        m_bufferFromDefaults = false;
    }
    // A row added after a row added differs from the defaults only where
    // that one was written.
    if (m_bufferFromDefaults && m_dirty.size() == m_defaults.size()) {
        for (size_t i = 0; i < m_dirty.size(); ++i)
            if (m_dirty[i])
                m_buffer[i] = m_defaults[i];
    } else {
        m_buffer = m_defaults;
    }
    m_bufferFromDefaults = true;
    m_dirty.assign(m_fields.size(), 0);
    m_mode = EditMode::Add;
}

void Recordset::edit()
{
    requireCurrent();
    if (!updatable())
        throw EngineError(err::ReadOnly, source(), m_name);
    loadRow();
    m_buffer.assign(m_row.begin() + 1, m_row.end());
    m_bufferFromDefaults = false;
    m_dirty.assign(m_fields.size(), 0);
    m_mode = EditMode::Edit;
}

void Recordset::cancelUpdate()
{
    requireOpen();
    m_mode = EditMode::None;
}

void Recordset::update()
{
    requireOpen();
    if (m_mode == EditMode::None)
        throw EngineError(err::UpdateWithoutAddNew, source());
    const EditMode mode = m_mode;
    m_mode = EditMode::None; // a failed store drops the pending row, as the engine always did

    const auto written = [this](QStringList *cols) {
        std::vector<size_t> idx;
        for (size_t i = 0; i < m_fields.size(); ++i) {
            if (m_dirty[i]) {
                if (cols)
                    *cols << m_fields[i].baseColumn;
                idx.push_back(i);
            }
        }
        return idx;
    };

    if (mode == EditMode::Add) {
        // Rows of one set are mostly added with the same fields: the
        // statement's text and its fields are kept per set of written fields.
        InsertPlan &plan = m_insertPlans[m_dirty];
        if (plan.sql.isEmpty()) {
            QStringList cols;
            plan.idx = written(&cols);
            if (cols.isEmpty()) {
                plan.sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(m_base);
            } else {
                QStringList marks;
                for (qsizetype i = 0; i < cols.size(); ++i)
                    marks << QStringLiteral("?");
                plan.sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                               .arg(m_base, cols.join(QLatin1String(", ")), marks.join(QLatin1String(", ")));
            }
        }
        const QString &sql = plan.sql;
        const std::vector<size_t> &idx = plan.idx;
        sqlite3_stmt *st = kept(plan.statement, sql);
        {
            StmtGuard g(st, StmtGuard::AllBoundEachTime);
            plan.utf8.resize(idx.size());
            for (size_t k = 0; k < idx.size(); ++k) {
                const QVariant &v = m_buffer[idx[k]];
                if (v.typeId() == QMetaType::QString && !v.isNull()) {
                    // Bound without SQLite's copy: the text stays in the
                    // plan until its next row is bound, and every use of
                    // the statement binds all of its parameters.
                    static thread_local QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
                    const QString &text = *static_cast<const QString *>(v.constData());
                    std::vector<char> &utf8 = plan.utf8[k];
                    const size_t need = size_t(encoder.requiredSpace(text.size())) + 1;
                    if (utf8.size() < need)
                        utf8.resize(need);
                    const char *end = encoder.appendToBuffer(utf8.data(), text);
                    sqlite3_bind_text(st, int(k) + 1, utf8.data(), int(end - utf8.data()), SQLITE_STATIC);
                } else {
                    bindValue(st, int(k) + 1, v);
                }
            }
            const int rc = sqlite3_step(st);
            if (rc != SQLITE_DONE)
                m_conn->raise(rc, source(), sql);
        }
        const qint64 baseRow = sqlite3_last_insert_rowid(m_conn->db(source()));
        if (m_isTemp) {
            QStringList tcols{QStringLiteral("__base")}, marks{QStringLiteral("?")};
            for (const FieldInfo &f : m_fields) {
                tcols << f.column;
                marks << QStringLiteral("?");
            }
            const QString tsql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(m_browse, tcols.join(QLatin1String(", ")), marks.join(QLatin1String(", ")));
            sqlite3_stmt *ts = m_conn->cached(tsql, source());
            StmtGuard g(ts);
            sqlite3_bind_int64(ts, 1, baseRow);
            for (size_t i = 0; i < m_fields.size(); ++i)
                bindValue(ts, int(i) + 2, m_buffer[i]);
            const int rc = sqlite3_step(ts);
            if (rc != SQLITE_DONE)
                m_conn->raise(rc, source(), tsql);
        }
        if (m_count >= 0)
            ++m_count;
        if (!m_hasCurrent && !m_deleted && m_eof && m_bof) {
            // The set was empty: it now has a row, positioned before it as Jet does.
            m_eof = true;
            m_bof = false;
            m_rowid = kAfterLast;
        }
        return;
    }

    QStringList cols;
    const std::vector<size_t> idx = written(&cols);
    if (idx.empty())
        return;
    if (!m_hasCurrent)
        throw EngineError(err::NoCurrentRecord, source());
    loadRow();
    const qint64 baseRow = m_row[0].toLongLong();
    // The base table and, for a copied set, its copy take the same values.
    const auto update = [&](const QString &table, const QStringList &columns, qint64 rowid) {
        QStringList sets;
        for (const QString &c : columns)
            sets << c + QStringLiteral(" = ?");
        const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?").arg(table, sets.join(QLatin1String(", ")));
        sqlite3_stmt *st = m_conn->cached(sql, source());
        StmtGuard g(st);
        for (size_t k = 0; k < idx.size(); ++k)
            bindValue(st, int(k) + 1, m_buffer[idx[k]]);
        sqlite3_bind_int64(st, int(idx.size()) + 1, rowid);
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE)
            m_conn->raise(rc, source(), sql);
    };
    update(m_base, cols, baseRow);
    if (m_isTemp) {
        QStringList browseColumns;
        for (size_t i : idx)
            browseColumns << m_fields[i].column;
        update(m_browse, browseColumns, m_rowid);
    }
    m_rowLoaded = false;
}

void Recordset::deleteRow()
{
    requireCurrent();
    if (!updatable())
        throw EngineError(err::ReadOnly, source(), m_name);
    m_mode = EditMode::None;
    // A table set walks the table itself, so its rowid is the row's own.
    if (m_isTemp)
        loadRow();
    const qint64 baseRow = m_isTemp ? m_row[0].toLongLong() : m_rowid;
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(m_base);
    {
        sqlite3_stmt *st = m_conn->cached(sql, source());
        StmtGuard g(st);
        sqlite3_bind_int64(st, 1, baseRow);
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE)
            m_conn->raise(rc, source(), sql);
    }
    if (!m_isTemp && sqlite3_changes(m_conn->db(source())) == 0) {
        // Deleted through another set or statement.
        m_deleted = true;
        throw EngineError(err::RecordDeleted, source());
    }
    if (m_isTemp) {
        const QString tsql = QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(m_browse);
        sqlite3_stmt *ts = m_conn->cached(tsql, source());
        StmtGuard g(ts);
        sqlite3_bind_int64(ts, 1, m_rowid);
        sqlite3_step(ts);
        m_dense = false;
    }
    if (m_count >= 0)
        --m_count;
    m_hasCurrent = false;
    m_deleted = true;
    m_rowLoaded = false;
}

long Recordset::deleteMatching(const QString &criteria)
{
    requireOpen();
    if (!updatable())
        throw EngineError(err::ReadOnly, source(), m_name);
    if (m_isTemp) {
        long deleted = 0;
        for (findFirst(criteria); !m_noMatch; findNext(criteria)) {
            deleteRow();
            ++deleted;
        }
        return deleted;
    }
    m_mode = EditMode::None;
    std::vector<QString> literals;
    const QString crit = parameterizedCriteria(criteria, literals);
    if (m_deleteSql.size() > 256)
        m_deleteSql.clear();
    QString &sql = m_deleteSql[crit];
    if (sql.isEmpty())
        sql = QStringLiteral("DELETE FROM %1 WHERE (%2)").arg(m_base, crit);
    return runDelete(criteriaStatement(sql, criteria), sql, literals);
}

sqlite3_stmt *Recordset::keptStatement(KeyedStatement &keyed, const QString &pattern,
                                       const std::vector<QString> &values)
{
    try {
        return kept(keyed.statement, keyed.sql);
    } catch (const EngineError &) {
        // The criteria text is only made for the error, which the same
        // preparation gives again.
        return criteriaStatement(keyed.sql, criteriaWithValues(pattern, values));
    }
}


long Recordset::deleteMatching(const QString &pattern, const std::vector<QString> &values)
{
    requireOpen();
    KeyedStatement *keyed = m_isTemp ? nullptr
                                  : keyedStatement(m_keyedDeletes, QStringLiteral("DELETE FROM %1 WHERE (%2)"), pattern,
                                                   values);
    if (!keyed)
        return deleteMatching(criteriaWithValues(pattern, values));
    if (!updatable())
        throw EngineError(err::ReadOnly, source(), m_name);
    m_mode = EditMode::None;
    sqlite3_stmt *st = keptStatement(*keyed, pattern, values);
    return runDelete(st, keyed->sql, values);
}

bool Recordset::anyMatching(const QString &pattern, const std::vector<QString> &values)
{
    requireOpen();
    KeyedStatement *keyed = m_isTemp ? nullptr
                                  : keyedStatement(m_keyedExists, QStringLiteral("SELECT 1 FROM %1 WHERE (%2) LIMIT 1"),
                                                   pattern, values);
    if (!keyed) {
        findFirst(pattern, values);
        return !m_noMatch;
    }
    m_mode = EditMode::None;
    sqlite3_stmt *st = keptStatement(*keyed, pattern, values);
    int rc = SQLITE_DONE;
    {
        StmtGuard guard(st, StmtGuard::AllBoundEachTime);
        for (size_t k = 0; k < values.size(); ++k)
            bindValue(st, int(k) + 1, values[k]);
        rc = sqlite3_step(st);
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        m_conn->raise(rc, source(), keyed->sql);
    m_noMatch = rc != SQLITE_ROW;
    return !m_noMatch;
}

Recordset::KeyedStatement *Recordset::keyedStatement(std::vector<KeyedStatement> &kept, const QString &head,
                                                  const QString &pattern, const std::vector<QString> &values)
{
    if (values.size() > 64)
        return nullptr;
    // Translated as the criteria text with these values would be: whether
    // each value is plain ASCII decides its comparison's collation.
    const quint64 nonAscii = nonAsciiValues(values);
    auto it = std::find_if(kept.begin(), kept.end(), [&](const KeyedStatement &d) {
        return d.nonAscii == nonAscii && d.pattern == pattern;
    });
    if (it != kept.end())
        return &*it;
    if (!keyedPatternFits(pattern, values))
        return nullptr;
    if (kept.size() >= 32)
        kept.clear();
    std::vector<QString> same;
    const QString crit = parameterizedCriteria(criteriaWithValues(pattern, values), same);
    kept.push_back({pattern, nonAscii, head.arg(m_base, crit), {}});
    return &kept.back();
}

// Patterns whose only literals are the values, and whose translation looks
// at nothing but whether each value is plain ASCII.
bool Recordset::keyedPatternFits(const QString &pattern, const std::vector<QString> &values)
{
    return values.size() <= 64 && !pattern.contains(QLatin1Char('"')) && !pattern.contains(QLatin1Char('\'')) &&
           !pattern.contains(QLatin1String("len"), Qt::CaseInsensitive);
}


sqlite3_stmt *Recordset::kept(KeptStatement &k, const QString &sql)
{
    if (!k.st || k.generation != m_conn->statementGeneration()) {
        k.st = m_conn->cached(sql, source());
        k.generation = m_conn->statementGeneration();
    }
    return k.st;
}

long Recordset::runDelete(sqlite3_stmt *st, const QString &sql, const std::vector<QString> &literals)
{
    {
        // A text's parameters are its literals, all bound each time.
        StmtGuard guard(st, StmtGuard::AllBoundEachTime);
        for (size_t k = 0; k < literals.size(); ++k)
            bindValue(st, int(k) + 1, literals[k]);
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE)
            m_conn->raise(rc, source(), sql);
    }
    const long deleted = long(sqlite3_changes(m_conn->db(source())));
    m_noMatch = true;
    if (deleted > 0) {
        if (m_count >= 0)
            m_count -= deleted;
        // The current row may be among them; reading it tells.
        m_rowLoaded = false;
    }
    return deleted;
}

} // namespace engine
