// The body of one business in a transfer file: its key lines, its own
// columns, the sub-blocks of its rows and its persons, and the generic field
// writer with its cleaners.

#include "exchange/ProgExp.h"
#include "exchange/DateColumns.h"
#include "exchange/ExportSelection.h"

#include "engine/Database.h"
#include "engine/JetSql.h"
#include "engine/Recordset.h"
#include "storage/Declare.h"
#include "storage/ErrorLog.h"
#include "storage/RuntimeError.h"

#include "engine/SqlFunctions.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace {

using exchange::isDateColumn;

// Only blanks count as padding; a tab is part of the value.
QString trimBlanks(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b) == QLatin1Char(' '))
        ++b;
    while (e > b && s.at(e - 1) == QLatin1Char(' '))
        --e;
    return s.mid(b, e - b);
}

QString text(const QVariant &v)
{
    return engine::isNull(v) ? QString() : v.toString();
}

// Whether the three cleaners would change a value: most values hold none
// of the characters they remove and no blank at either end.
bool needsCleaning(const QString &s)
{
    if (s.isEmpty())
        return false;
    if (s.front() == QLatin1Char(' ') || s.back() == QLatin1Char(' '))
        return true;
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u == u'\r' || u == u'\n' || u == u';' || u == u'<' || u == u'>')
            return true;
    }
    return false;
}

// A stored date by position, DD.MM.YYYY to YYYYMMDD, and the two words.
QString fileDate(const QString &s)
{
    if (s == QLatin1String("unbekannt"))
        return QStringLiteral("88888888");
    if (s == QLatin1String("unbegrenzt"))
        return QStringLiteral("99999999");
    if (s.isEmpty())
        return s;
    return s.mid(6, 4) + s.mid(3, 2) + s.left(2);
}

QString element(const QString &name, const QString &value)
{
    return QLatin1Char('<') + name + QLatin1Char('>') + value + QStringLiteral("</") + name + QLatin1Char('>');
}

QString is(const QString &column, const QString &value)
{
    return column + QStringLiteral(" = ") + engine::sqlQuote(value);
}

// The import stores an empty history number as Null in betrieb and as an
// empty text in the rows under it; either finds the other's rows.
QString histIs(const QString &column, const QString &value)
{
    if (!value.isEmpty())
        return is(column, value);
    return QStringLiteral("(") + column + QStringLiteral(" = '' OR ") + column + QStringLiteral(" Is Null)");
}

// The lines of one business body. It remembers the block and item lines it
// opened, so that a body cut short by an error can still be closed: an item
// without its end line would make the import give up the whole business.
class BodyWriter
{
public:
    explicit BodyWriter(int file) : m_file(file) {}

    void line(const QString &l) { exchange::writeExportLine(m_file, l); }
    void open(const QString &name, const QString &startLine = {})
    {
        line(startLine.isEmpty() ? QLatin1Char('<') + name + QLatin1Char('>') : startLine);
        m_open.push_back(name);
    }
    void close()
    {
        const QString name = m_open.back();
        line(QStringLiteral("</") + name + QLatin1Char('>'));
        m_open.pop_back();
    }
    void closeAll()
    {
        while (!m_open.empty())
            close();
    }

private:
    int m_file;
    std::vector<QString> m_open;
};

struct LinkRow
{
    QString persNr;
    QVariant funktion, eintritt, austritt;
    int order = 0;
    double position = 0;
    bool numbered = false;
};

// Sort numbers are positions: "10" comes after "9", which the text order of
// the column would not give. The import renumbers the persons in file order
// and links each natural person to the juridical one written before it, so
// the file must keep that order.
void orderByPosition(std::vector<LinkRow> &rows)
{
    std::stable_sort(rows.begin(), rows.end(), [](const LinkRow &a, const LinkRow &b) {
        if (a.numbered != b.numbered)
            return !a.numbered;
        return a.numbered && a.position < b.position;
    });
}


// The record sets the body reads, one per table. Table sets find their rows
// through statements prepared once, where a query per business and sub-block
// would build and fill a result table each time.
struct BodyTables
{
    DB db;
    RS meldgrund, adresse, taetigkeit, handwerkskarte, erlaubnis, links, person, staatsang, personErlaubnis,
        personHandwerkskarte;

    explicit BodyTables(const DB &database) : db(database)
    {
        const auto open = [this](const char *table) { return db->openRecordset(QString::fromLatin1(table)); };
        meldgrund = open("betrieb_meldgrundsonst");
        adresse = open("betrieb_adresse");
        taetigkeit = open("betrieb_taetigkeit");
        handwerkskarte = open("betrieb_handwerkskarte");
        erlaubnis = open("betrieb_erlaubnis");
        links = open("beziehung_betrieb_person");
        person = open("person");
        staatsang = open("person_staatsang");
        personErlaubnis = open("person_erlaubnis");
        personHandwerkskarte = open("person_handwerkskarte");
        // Each search finds the few rows of one business or person, and
        // every row found is written.
        for (RS *rs : {&meldgrund, &adresse, &taetigkeit, &handwerkskarte, &erlaubnis, &links, &person, &staatsang,
                       &personErlaubnis, &personHandwerkskarte})
            (*rs)->setReadOnFind(true);
    }

    bool servesDatabase(const DB &database) const { return db == database && db->isOpen(); }

    void close()
    {
        for (RS *rs : {&meldgrund, &adresse, &taetigkeit, &handwerkskarte, &erlaubnis, &links, &person, &staatsang,
                       &personErlaubnis, &personHandwerkskarte}) {
            try {
                if (*rs && (*rs)->isOpen())
                    (*rs)->close();
            } catch (...) {
            }
            rs->reset();
        }
    }
};

int s_sessions = 0;
std::unique_ptr<BodyTables> s_tables;

// The tables of the session, or of this one business when none runs.
BodyTables &tablesFor(const DB &db, std::unique_ptr<BodyTables> &own)
{
    if (s_sessions > 0) {
        if (!s_tables || !s_tables->servesDatabase(db)) {
            if (s_tables)
                s_tables->close();
            s_tables.reset();
            s_tables = std::make_unique<BodyTables>(db);
        }
        return *s_tables;
    }
    own = std::make_unique<BodyTables>(db);
    return *own;
}

// Among the person rows of one number the one that sorts first by p-art
// descending (a missing p-art last); on a tie the first stored.
bool findPerson(engine::Recordset &person, const QString &criteria)
{
    person.findFirst(criteria);
    if (person.noMatch())
        return false;
    int best = 0, index = 0;
    QVariant bestArt = person.value(QStringLiteral("p-art"));
    for (person.findNext(criteria); !person.noMatch(); person.findNext(criteria)) {
        ++index;
        const QVariant art = person.value(QStringLiteral("p-art"));
        if (!engine::isNull(art) && (engine::isNull(bestArt) || engine::jetCompare(art.toString(), bestArt.toString()) > 0)) {
            best = index;
            bestArt = art;
        }
    }
    // The last row found is still the current one; only another one is searched again.
    if (best != index) {
        person.findFirst(criteria);
        for (int i = 0; i < best; ++i)
            person.findNext(criteria);
    }
    return true;
}

} // namespace

void Txt_CrLf_Weg(QString &text)
{
    text.replace(QChar(10), QLatin1Char(' '));
    text.replace(QChar(13), QLatin1Char(' '));
}

void Txt_Semikolon_Weg(QString &text)
{
    text = trimBlanks(text);
    if (text.startsWith(QLatin1Char(';')))
        text.remove(0, 1);
    if (text.endsWith(QLatin1Char(';')))
        text.chop(1);
    text = trimBlanks(text);
}

void Txt_Klammern_Weg(QString &text)
{
    text.replace(QLatin1Char('<'), QLatin1Char(' '));
    text.replace(QLatin1Char('>'), QLatin1Char(' '));
}

namespace {

// What the field writer reads of a row: a record set's current row, or the
// driver's selection on the business being written.
int fieldCount(const engine::Recordset &rs)
{
    return rs.fieldCount();
}
const QString &fieldName(const engine::Recordset &rs, int i)
{
    return rs.fieldInfo(i).name;
}
int fieldCount(const exchange::ExportSelection &s)
{
    return s.fieldCount();
}
const QString &fieldName(const exchange::ExportSelection &s, int i)
{
    return s.fieldName(i);
}

template <typename Row>
void writeFields(const Row &row, bool personRows)
{
    // A failure ends this row's elements silently; the caller closes the item.
    try {
        const int file = G().Exp_Dateinummer;
        for (int i = 0; i < fieldCount(row); ++i) {
            QString s = text(row.value(i));
            if (trimBlanks(s).isEmpty())
                continue;
            const QString &name = fieldName(row, i);
            if (name == QLatin1String("betr-nr") || name == QLatin1String("betr-hist-nr")
                || name == QLatin1String("gem-kz") || (personRows && name == QLatin1String("pers-nr")))
                continue;
            if (isDateColumn(name))
                s = fileDate(s);
            if (needsCleaning(s)) {
                Txt_CrLf_Weg(s);
                Txt_Semikolon_Weg(s);
                Txt_Klammern_Weg(s);
            }
            exchange::writeExportElement(file, name, s);
        }
    } catch (...) {
    }
}

} // namespace

void RML_Exp_3_Felder(engine::Recordset &rs)
{
    const QString source = rs.name();
    writeFields(rs, source.contains(QLatin1String("person_erlaubnis"))
                        || source.contains(QLatin1String("person_handwerkskarte")));
}

namespace exchange {

BodySession::BodySession()
{
    ++s_sessions;
}

BodySession::~BodySession()
{
    if (--s_sessions == 0 && s_tables) {
        s_tables->close();
        s_tables.reset();
    }
}

} // namespace exchange

namespace {

// The business's three key lines.
template <typename Row>
void writeKeyLines(BodyWriter &out, const Row &betrieb)
{
    out.line(element(QStringLiteral("gem-kz"), trimBlanks(text(betrieb.value(QStringLiteral("gem-kz"))))));
    out.line(element(QStringLiteral("betr-nr"), trimBlanks(text(betrieb.value(QStringLiteral("betr-nr"))))));
    out.line(element(QStringLiteral("betr-hist-nr"), trimBlanks(text(betrieb.value(QStringLiteral("betr-hist-nr"))))));
}

void writeBody(const QVariant &betrNr, const QVariant &betrHistNr, const exchange::ExportSelection *selection)
{
    Declare &g = G();
    g.Ortungs_Nr = 0;
    BodyWriter out(g.Exp_Dateinummer);
    std::unique_ptr<BodyTables> own;
    const bool complete = guarded(QStringLiteral("RML_Exp_2_Tabellen"), [&] {
        g.Ortungs_Nr = 1;
        engine::Recordset *betrieb = selection ? nullptr : runtime::require(g.RS_betrieb, "RS_betrieb").get();
        BodyTables &t = tablesFor(runtime::require(g.Datenbank_Daten, "Datenbank_Daten"), own);
        if (selection) {
            writeKeyLines(out, *selection);
            writeFields(*selection, false);
        } else {
            writeKeyLines(out, *betrieb);
            RML_Exp_3_Felder(*betrieb);
        }

        const QString n = text(betrNr);
        const QString h = text(betrHistNr);
        const QString ofBusiness = is(QStringLiteral("[betr-nr]"), n) + QStringLiteral(" AND ") + histIs(QStringLiteral("[betr-hist-nr]"), h);
        struct SubBlock
        {
            int step;
            RS BodyTables::*table;
            const char *wrapper, *item;
        };
        static const SubBlock blocks[] = {
            {3, &BodyTables::meldgrund, "meld-gruende-sonst", "meld-grund-sonst"},
            {2, &BodyTables::adresse, "adressen", "adresse"},
            {3, &BodyTables::taetigkeit, "taetigkeiten", "taetigkeit"},
            {4, &BodyTables::handwerkskarte, "b-handwerkskarten", "b-handwerkskarte"},
            {5, &BodyTables::erlaubnis, "b-erlaubnisse", "b-erlaubnis"},
        };
        for (const SubBlock &b : blocks) {
            g.Ortungs_Nr = qint16(b.step);
            engine::Recordset &rows = *(t.*b.table);
            rows.findFirst(ofBusiness);
            if (rows.noMatch())
                continue;
            const QString item = QString::fromLatin1(b.item);
            const bool addresses = item == QLatin1String("adresse");
            out.open(QString::fromLatin1(b.wrapper));
            for (; !rows.noMatch(); rows.findNext(ofBusiness)) {
                if (addresses) {
                    // The kind compares as a number: "1" and " 1" are kind 1.
                    bool numeric = false;
                    const double kind = trimBlanks(text(rows.value(QStringLiteral("b-adr-art")))).toDouble(&numeric);
                    if (!numeric || (kind != 1 && kind != 2 && kind != 3 && kind != 4))
                        continue;
                    out.open(item, QStringLiteral("<adresse art=\"") + QString::number(int(kind)) + QStringLiteral("\">"));
                } else {
                    out.open(item);
                }
                RML_Exp_3_Felder(rows);
                out.close();
            }
            out.close();
        }

        // The persons: the link rows of this business whose person exists.
        const QString ofLinks = is(QStringLiteral("[bez-betr-nr]"), n) + QStringLiteral(" AND ")
                                + histIs(QStringLiteral("[bez-betr-hist-nr]"), h);
        std::vector<LinkRow> rows;
        engine::Recordset &links = *t.links;
        for (links.findFirst(ofLinks); !links.noMatch(); links.findNext(ofLinks)) {
            LinkRow r;
            r.persNr = text(links.value(QStringLiteral("bez-pers-nr")));
            r.funktion = links.value(QStringLiteral("p-funktion"));
            r.eintritt = links.value(QStringLiteral("p-eintr-datum"));
            r.austritt = links.value(QStringLiteral("p-austr-datum"));
            r.position = trimBlanks(text(links.value(QStringLiteral("bez-sort-nr")))).toDouble(&r.numbered);
            rows.push_back(r);
        }
        orderByPosition(rows);

        bool personen = false;
        for (const LinkRow &link : rows) {
            const QString ofPerson = is(QStringLiteral("[pers-nr]"), link.persNr);
            g.Ortungs_Nr = 6;
            if (!findPerson(*t.person, ofPerson))
                continue;
            if (!personen) {
                out.open(QStringLiteral("personen"));
                personen = true;
            }
            out.open(QStringLiteral("person"));
            const QString funktion = trimBlanks(text(link.funktion));
            if (!funktion.isEmpty())
                out.line(element(QStringLiteral("p-funktion"), funktion));
            const QString eintritt = trimBlanks(text(link.eintritt));
            if (!eintritt.isEmpty())
                out.line(element(QStringLiteral("p-eintr-datum"), fileDate(eintritt)));
            const QString austritt = trimBlanks(text(link.austritt));
            if (!austritt.isEmpty())
                out.line(element(QStringLiteral("p-austr-datum"), fileDate(austritt)));
            RML_Exp_3_Felder(*t.person);

            g.Ortungs_Nr = 7;
            engine::Recordset &staat = *t.staatsang;
            staat.findFirst(ofPerson);
            if (!staat.noMatch()) {
                out.open(QStringLiteral("staatsangehoerigkeiten"));
                for (; !staat.noMatch(); staat.findNext(ofPerson)) {
                    out.open(QStringLiteral("staatsangehoerigkeit"));
                    out.line(element(QStringLiteral("staat-text"), trimBlanks(text(staat.value(QStringLiteral("staat-text"))))));
                    out.line(element(QStringLiteral("staat-schl"), trimBlanks(text(staat.value(QStringLiteral("staat-schl"))))));
                    out.close();
                }
                out.close();
            }

            // A permit or card with an empty business number belongs to every
            // business of the person; one with a number only to that business.
            // One whose number is missing (Null) belongs to none.
            const QString ofPersonHere = ofPerson + QStringLiteral(" AND (Len([betr-nr]) = 0 OR ")
                                         + is(QStringLiteral("[betr-nr]"), n) + QLatin1Char(')');
            struct PersonBlock
            {
                int step;
                RS BodyTables::*table;
                const char *wrapper, *item;
            };
            static const PersonBlock personBlocks[] = {
                {8, &BodyTables::personErlaubnis, "p-erlaubnisse", "p-erlaubnis"},
                {9, &BodyTables::personHandwerkskarte, "p-handwerkskarten", "p-handwerkskarte"},
            };
            for (const PersonBlock &b : personBlocks) {
                g.Ortungs_Nr = qint16(b.step);
                engine::Recordset &nested = *(t.*b.table);
                nested.findFirst(ofPersonHere);
                if (nested.noMatch())
                    continue;
                out.open(QString::fromLatin1(b.wrapper));
                for (; !nested.noMatch(); nested.findNext(ofPersonHere)) {
                    out.open(QString::fromLatin1(b.item));
                    RML_Exp_3_Felder(nested);
                    out.close();
                }
                out.close();
            }
            out.close();
        }
        if (personen)
            out.close();
    });
    if (!complete) {
        // Logged above; what stands is closed so that the block stays readable.
        try {
            out.closeAll();
        } catch (...) {
        }
    }
    if (own)
        own->close();
}

} // namespace

void RML_Exp_2_Tabellen(const QVariant &betrNr, const QVariant &betrHistNr)
{
    writeBody(betrNr, betrHistNr, nullptr);
}

void RML_Exp_2_Tabellen(const QVariant &betrNr, const QVariant &betrHistNr, const exchange::ExportSelection &business)
{
    writeBody(betrNr, betrHistNr, &business);
}
