// One business block of a transfer file into the working database: the
// block's lines, its keys, the deletes of the business's earlier rows, the
// betrieb row and the hand-over of every sub-block.

#include "exchange/ImportSupport.h"
#include "exchange/ProgImp.h"

#include "engine/JetSql.h"
#include "platform/MessageService.h"
#include "storage/RuntimeError.h"

#include <array>
#include <utility>

using exchange::kKeinInhalt;
using exchange::kKeinName;

namespace {

// Lines are trimmed of blanks only; a tab is content.
QStringView trimBlanks(QStringView s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] == QLatin1Char(' '))
        ++b;
    while (e > b && s[e - 1] == QLatin1Char(' '))
        --e;
    return s.mid(b, e - b);
}

struct SubBlockKind
{
    QString name;
    RS Declare::*recordset;
};

// In this order; the position is the kind handed to Upd_4_Andere.
const std::array<SubBlockKind, 6> &subBlockKinds()
{
    static const std::array<SubBlockKind, 6> kinds{{
        {QStringLiteral("adresse"), &Declare::RS_betrieb_adresse},
        {QStringLiteral("taetigkeit"), &Declare::RS_betrieb_taetigkeit},
        {QStringLiteral("b-erlaubnis"), &Declare::RS_betrieb_erlaubnis},
        {QStringLiteral("b-handwerkskarte"), &Declare::RS_betrieb_handwerkskarte},
        {QStringLiteral("person"), &Declare::RS_person},
        {QStringLiteral("meld-grund-sonst"), &Declare::RS_betrieb_meldgrundsonst},
    }};
    return kinds;
}

// Asked of every line for every kind: the cheap tests come first.
bool startsSubBlock(int p, const QString &line)
{
    if (p == 1)
        return line.startsWith(QLatin1String("<adresse art"));
    const QString &name = subBlockKinds()[size_t(p - 1)].name;
    return line.size() >= name.size() + 2 && line.at(name.size() + 1) == QLatin1Char('>') &&
           line.front() == QLatin1Char('<') && QStringView(line).mid(1, name.size()) == name;
}

bool endsSubBlock(int p, const QString &line)
{
    if (p == 1)
        return line == QLatin1String("</adresse>");
    const QString &name = subBlockKinds()[size_t(p - 1)].name;
    return line.size() >= name.size() + 3 && line.at(name.size() + 2) == QLatin1Char('>') &&
           line.startsWith(QLatin1String("</")) && QStringView(line).mid(2, name.size()) == name;
}

bool ignoredAtBusinessLevel(QStringView name)
{
    return name == QLatin1String("gem-name") || name == QLatin1String("wirtschafts-nr") ||
           name == QLatin1String("inhaber-vname") || name == QLatin1String("inhaber-nname");
}

bool businessRelatedDatabase()
{
    // The kind the open database really has: only the exact text counts as
    // business-related, every other stored value as report-related.
    return G().Datenart_aktuell.toString() == QLatin1String("BETRIEBSBEZOGEN");
}

} // namespace

namespace exchange::detail {

engine::Recordset &recordset(const RS &rs, const char *name)
{
    return *runtime::require(rs, name);
}

QString keyIs(const QString &column, const QString &value)
{
    return engine::sqlName(column) + QStringLiteral(" = ") + engine::sqlQuote(value);
}

QString histKeyIs(const QString &column, const QString &value)
{
    if (!value.isEmpty())
        return keyIs(column, value);
    const QString name = engine::sqlName(column);
    return QStringLiteral("(") + name + QStringLiteral(" = '' OR ") + name + QStringLiteral(" Is Null)");
}

QString keyPattern(const QString &column)
{
    return engine::sqlName(column) + QStringLiteral(" = ?");
}

QString histKeyPattern(const QString &column, const QString &value)
{
    if (!value.isEmpty())
        return keyPattern(column);
    const QString name = engine::sqlName(column);
    return QStringLiteral("(") + name + QStringLiteral(" = ? OR ") + name + QStringLiteral(" Is Null)");
}

void killMatching(const QString &pattern, const std::vector<QString> &values, RS &rs)
{
    G().Ortungs_Nr = 0;
    try {
        recordset(rs, "RS").deleteMatching(pattern, values);
    } catch (...) {
        logCurrentError(ErrorSite{QStringLiteral("Upd_6_Kill"), QStringLiteral("KRITERIUM: "), [&] {
                                      return QVariant(engine::criteriaWithValues(pattern, values));
                                  }});
    }
}

QStringView elementName(const QString &line)
{
    // From behind the first '<' to the '>' after it.
    const qsizetype a = line.indexOf(QLatin1Char('<')) + 1;
    const qsizetype b = line.indexOf(QLatin1Char('>'), a);
    return b < 0 ? QStringView(kKeinName) : QStringView(line).mid(a, b - a);
}

Element elementOf(const QString &line)
{
    Element e;
    e.name = elementName(line);
    e.named = e.name != kKeinName;
    // The content: from behind the first '>' of the line to the '<' after it.
    const qsizetype c = line.indexOf(QLatin1Char('>')) + 1;
    const qsizetype d = line.indexOf(QLatin1Char('<'), c);
    if (d >= 0) {
        e.content = QStringView(line).mid(c, d - c);
        e.filled = !trimBlanks(e.content).isEmpty() && e.content != kKeinInhalt;
    }
    return e;
}

namespace {

// The last element line written, or nothing when the globals were emptied.
struct
{
    QString line;
    bool pending = false;
} g_lastLine;

} // namespace

void noteLine(const QString &line)
{
    g_lastLine.line = line;
    g_lastLine.pending = true;
}

void emptyLineGlobals()
{
    g_lastLine.line = QString();
    g_lastLine.pending = true;
}

LineGlobals::~LineGlobals()
{
    if (!std::exchange(g_lastLine.pending, false))
        return;
    Declare &g = G();
    if (g_lastLine.line.isNull()) {
        g.Imp_Inhalt = QString();
        g.Imp_Name = QString();
    } else {
        g.Imp_Inhalt = Upd_8_ExtrFeldInhalt(g_lastLine.line);
        g.Imp_Name = Upd_9_ExtrFeldInhalt(g_lastLine.line);
    }
    g_lastLine.line = QString();
}

bool writeLine(const QString &line, RS &rs, const ErrorSite &site)
{
    const Element e = elementOf(line);
    noteLine(line);
    if (!e.filled || !e.named)
        return false;
    try {
        engine::Recordset &target = recordset(rs, "RS");
        QString content = e.content.toString();
        return Upd_5_Felder(target.field(e.name), content);
    } catch (...) {
        logCurrentError(site);
        return false;
    }
}

} // namespace exchange::detail

using namespace exchange::detail;

QString Upd_9_ExtrFeldInhalt(const QString &line)
{
    G().Ortungs_Nr = 0;
    return elementName(line).toString();
}

QString Upd_8_ExtrFeldInhalt(const QString &line)
{
    G().Ortungs_Nr = 0;
    // A content reading "kein Inhalt" comes back as that same text.
    const Element e = elementOf(line);
    return e.filled ? e.content.toString() : kKeinInhalt;
}

void Upd_6_Kill(const QString &criteria, RS &rs)
{
    G().Ortungs_Nr = 0;
    try {
        // Every matching row, as the search-and-delete loop would take them,
        // in one statement.
        recordset(rs, "RS").deleteMatching(criteria);
    } catch (...) {
        logCurrentError(ErrorSite{QStringLiteral("Upd_6_Kill"), QStringLiteral("KRITERIUM: "),
                                  [&criteria] { return QVariant(criteria); }});
    }
}

void Upd_2_Read(QString &block)
{
    Declare &g = G();
    g.Ortungs_Nr = 0;
    QString betrNr, betrHistNr, rechtsform;
    const ErrorSite site{QStringLiteral("Upd_2_Read"), QStringLiteral("BetrNr: "),
                         [&betrNr] { return QVariant(betrNr); }};
    // The lines are views into the block's text, which therefore lives
    // until the block is written: the block procedures copy what they keep
    // (keys, values, the last line for Imp_Inhalt/Imp_Name).
    const QString text = std::move(block);
    block.clear();
    guarded(site, [&] {
        QStringList lines;
        lines.reserve(128);
        qsizetype from = 0;
        for (qsizetype lf = text.indexOf(QLatin1Char('\n')); lf >= 0; lf = text.indexOf(QLatin1Char('\n'), from)) {
            QStringView t = trimBlanks(QStringView(text).mid(from, lf - from));
            from = lf + 1;
            if (t.endsWith(QLatin1Char('\r')))
                t = trimBlanks(t.chopped(1));
            // A blank line carries nothing; it must not cost the business.
            if (t.isEmpty())
                continue;
            QString entry = QString::fromRawData(t.data(), t.size());
            // The three keys all start "<b".
            if (t.size() > 2 && t[1] == QLatin1Char('b')) {
                if (entry.startsWith(QLatin1String("<betr-nr>")))
                    betrNr = keyValue(Upd_8_ExtrFeldInhalt(entry));
                else if (entry.startsWith(QLatin1String("<betr-hist-nr>")))
                    betrHistNr = keyValue(Upd_8_ExtrFeldInhalt(entry));
                else if (entry.startsWith(QLatin1String("<b-rechtsform>")))
                    rechtsform = keyValue(Upd_8_ExtrFeldInhalt(entry));
            }
            lines.append(std::move(entry));
        }
        // What follows the last line feed is the "</betrieb>" line.
        Upd_3_Betr(lines, int(lines.size()), betrNr, betrHistNr, rechtsform);
    });
}

void Upd_3_Betr(const QStringList &lines, int n, const QString &betrNr, const QString &betrHistNr,
                const QString &rechtsform)
{
    Declare &g = G();
    g.Ortungs_Nr = 0;
    const LineGlobals lineGlobals;
    int i = 0;
    const ErrorSite site{QStringLiteral("Upd_3_Betr"),
                         QStringLiteral("BetrNr: ") + betrNr + QStringLiteral(" BetrHistNr: ") + betrHistNr,
                         [&i] { return QVariant(i); }};
    const auto step = [&site](auto &&body) { return guardedStep(site, body); };
    n = qMin(n, int(lines.size()));
    bool outOfRange = false;
    const auto line = [&](int index) -> const QString & {
        if (index < 1 || index > n) {
            outOfRange = true;
            runtime::raise(engine::err::SubscriptOutOfRange);
        }
        return lines.at(index - 1);
    };

    step([&] {
        g.Imp_JP_PersNr = QString();
        g.Imp_JP_PersNr_gesichert = QString();
        g.Imp_Bez_Sort_Nr = 0;
    });

    if (betrNr.isEmpty()) {
        // Deleting by an empty number would take the rows of every other
        // block that came without one.
        Error_Log(site.label, QString(), 0,
                  QStringLiteral("Betrieb ohne Betriebsnummer: es wurden keine früheren Daten gelöscht!"), site.caption,
                  0);
    } else {
        // Each business runs these deletes: their patterns are made once.
        static const QString byBusiness = keyPattern(QStringLiteral("betr-nr"));
        static const QString byLink = keyPattern(QStringLiteral("bez-betr-nr"));
        static const QString and_ = QStringLiteral(" AND ");
        static const QString byHistory[2] = {
            byBusiness + and_ + histKeyPattern(QStringLiteral("betr-hist-nr"), QStringLiteral("x")),
            byBusiness + and_ + histKeyPattern(QStringLiteral("betr-hist-nr"), QString())};
        static const QString byLinkHistory[2] = {
            byLink + and_ + histKeyPattern(QStringLiteral("bez-betr-hist-nr"), QStringLiteral("x")),
            byLink + and_ + histKeyPattern(QStringLiteral("bez-betr-hist-nr"), QString())};
        const bool withHistory = !businessRelatedDatabase();
        const std::vector<QString> k{betrNr};
        const std::vector<QString> kh = withHistory ? std::vector<QString>{betrNr, betrHistNr} : k;
        const QString &business = withHistory ? byHistory[betrHistNr.isEmpty()] : byBusiness;
        const QString &link = withHistory ? byLinkHistory[betrHistNr.isEmpty()] : byLink;
        killMatching(business, kh, g.RS_betrieb_adresse);
        killMatching(business, kh, g.RS_betrieb);
        killMatching(business, kh, g.RS_betrieb_meldgrundsonst);
        killMatching(business, kh, g.RS_betrieb_taetigkeit);
        killMatching(business, kh, g.RS_betrieb_erlaubnis);
        killMatching(business, kh, g.RS_betrieb_handwerkskarte);
        killMatching(link, kh, g.RS_beziehung_betrieb_person);
        killMatching(byBusiness, k, g.RS_person_erlaubnis);
        killMatching(byBusiness, k, g.RS_person_handwerkskarte);
    }

    step([&] { recordset(g.RS_betrieb, "RS_betrieb").addNew(); });
    bool written = false;

    // A sub-block whose end line is missing before "</betrieb>" runs off the
    // line list: the user is told, and the betrieb row is not stored.
    const auto subscriptOutOfRange = [&] {
        platform::MessageService::show(QStringLiteral("Laufzeitfehler Nr. ") +
                                           QString::number(engine::err::SubscriptOutOfRange) + QStringLiteral(" ''") +
                                           engine::standardErrorText(engine::err::SubscriptOutOfRange) +
                                           QStringLiteral("''"),
                                       QStringLiteral("PLOXA_4x_Access"), 0);
        step([&] { recordset(g.RS_betrieb, "RS_betrieb").cancelUpdate(); });
    };

    QStringList sub;
    for (i = 1; i <= n; ++i) {
        for (int p = 1; p <= 6; ++p) {
            if (p == 1) {
                bool emptyList = false;
                // Only a "<adressen>" line looks at the line after it.
                if (lines.at(i - 1).startsWith(QLatin1String("<adressen>")) && !step([&] {
                        emptyList = line(i).startsWith(QLatin1String("<adressen>")) &&
                                    line(i + 1).startsWith(QLatin1String("</adressen>"));
                    }) &&
                    outOfRange) {
                    subscriptOutOfRange();
                    return;
                }
                if (emptyList) {
                    // An address list without items still gives the business its location row.
                    step([&] { recordset(g.RS_betrieb_adresse, "RS_betrieb_adresse").addNew(); });
                    step([&] {
                        recordset(g.RS_betrieb_adresse, "RS_betrieb_adresse")
                            .setValue(QStringLiteral("betr-nr"), betrNr);
                    });
                    step([&] {
                        recordset(g.RS_betrieb_adresse, "RS_betrieb_adresse")
                            .setValue(QStringLiteral("betr-hist-nr"), betrHistNr);
                    });
                    step([&] {
                        recordset(g.RS_betrieb_adresse, "RS_betrieb_adresse")
                            .setValue(QStringLiteral("b-adr-art"), QStringLiteral("1"));
                    });
                    step([&] { recordset(g.RS_betrieb_adresse, "RS_betrieb_adresse").update(); });
                }
            }
            if (!startsSubBlock(p, lines.at(i - 1)))
                continue;
            sub.clear();
            if (!step([&] {
                    sub.append(line(i));
                    while (!endsSubBlock(p, line(i))) {
                        ++i;
                        sub.append(line(i));
                    }
                }) &&
                outOfRange) {
                subscriptOutOfRange();
                return;
            }
            step([&] {
                Upd_4_Andere(sub, int(sub.size()), betrNr, betrHistNr, g.*(subBlockKinds()[size_t(p - 1)].recordset), p,
                             rechtsform);
            });
        }

        const Element e = elementOf(lines.at(i - 1));
        noteLine(lines.at(i - 1));
        if (e.filled && e.named && !ignoredAtBusinessLevel(e.name)) {
            // Any field written keeps the row: one bad element must not cost a
            // business whose earlier rows are already gone.
            try {
                QString content = e.content.toString();
                if (Upd_5_Felder(recordset(g.RS_betrieb, "RS_betrieb").field(e.name), content))
                    written = true;
            } catch (...) {
                logCurrentError(site);
            }
        }
    }

    if (written)
        step([&] { recordset(g.RS_betrieb, "RS_betrieb").update(); });
    else
        step([&] { recordset(g.RS_betrieb, "RS_betrieb").cancelUpdate(); });
}
