// One sub-block of a business (address, activity, permit, craft card, other
// reason, or a person with nationalities, permits, craft cards and its link
// to the business) and the conversion of every value the import stores.

#include "exchange/ImportSupport.h"
#include "exchange/DateColumns.h"
#include "exchange/ProgImp.h"

#include "engine/JetSql.h"
#include "storage/RuntimeError.h"

#include <QHash>
#include <array>
#include <optional>

using exchange::kKeinInhalt;
using namespace exchange::detail;

namespace {

using exchange::isDateColumn;

bool isLinkElement(QStringView name)
{
    return name == QLatin1String("p-funktion") || name == QLatin1String("p-eintr-datum") ||
           name == QLatin1String("p-austr-datum");
}

QHash<QString, std::optional<QString>> &legalForms()
{
    static QHash<QString, std::optional<QString>> types;
    return types;
}

} // namespace

namespace exchange::detail {

void forgetLegalForms()
{
    legalForms().clear();
}

std::optional<QString> legalFormType(const QString &code)
{
    auto it = legalForms().constFind(code);
    if (it != legalForms().constEnd())
        return *it;
    // Read through the organisation database's handle of the moment: every
    // compaction replaces all handles, so none is kept; only the values are.
    engine::Database &org = *runtime::require(G().Datenbank_Org, "Datenbank_Org");
    const auto rf = org.openRecordset(QStringLiteral("Rechtsformen"));
    rf->findFirst(keyIs(QStringLiteral("schluessel"), code));
    std::optional<QString> typ;
    if (!rf->noMatch())
        typ = rf->value(QStringLiteral("typ")).toString();
    rf->close();
    legalForms().insert(code, typ);
    return typ;
}

} // namespace exchange::detail

bool Upd_5_Felder(const engine::Field &field, QString &value)
{
    G().Ortungs_Nr = 0;
    const QString name = field.name();
    if (isDateColumn(name)) {
        if (value == QLatin1String("88888888"))
            value = QStringLiteral("unbekannt");
        else if (value == QLatin1String("99999999"))
            value = QStringLiteral("unbegrenzt");
        else if (!value.isEmpty())
            value = value.mid(6, 2) + QLatin1Char('.') + value.mid(4, 2) + QLatin1Char('.') + value.left(4);
    }
    // The caption is only built when something is logged: this runs for
    // every value of every row.
    const auto caption = [&name, &value] { return name + QStringLiteral(" = ") + value; };
    try {
        const int size = field.size();
        if (field.type() != engine::ftype::Memo && size > 0 && value.size() > size) {
            field.setValue(value.left(size));
            Error_Log(QStringLiteral("Upd_5_Felder"), QStringLiteral("Dao.Field"), engine::err::FieldTooSmall,
                      QStringLiteral("Feld zu klein für Datenmenge, Inhalt wurde gekürzt!"), caption(), 0);
        } else {
            field.setValue(value);
        }
        return true;
    } catch (...) {
        logCurrentError(ErrorSite{QStringLiteral("Upd_5_Felder"), caption(), [] { return QVariant(0); }});
        return false;
    }
}

void Upd_4_Andere(const QStringList &sub, int k, const QString &betrNr, const QString &betrHistNr, RS &target, int kind,
                  const QString &rechtsform)
{
    Declare &g = G();
    g.Ortungs_Nr = 0;
    const LineGlobals lineGlobals;
    const ErrorSite site{QStringLiteral("Upd_4_Andere"), QString(), [] { return QVariant(0); }};
    const auto step = [&site](auto &&body) { return guardedStep(site, body); };
    k = qMin(k, int(sub.size()));
    const auto at = [&sub](int m) -> const QString & { return sub.at(m - 1); };

    bool isPerson = false;
    step([&] { isPerson = recordset(target, "RS").name().compare(QLatin1String("person"), Qt::CaseInsensitive) == 0; });

    QString pers, pArt, funktion, eintr, austr;
    bool representative = false;
    if (isPerson) {
        ++g.Imp_Bez_Sort_Nr;
        for (int m = 1; m <= k; ++m) {
            const QStringView name = elementName(at(m));
            if (name == QLatin1String("pers-nr"))
                pers = Upd_8_ExtrFeldInhalt(at(m));
            else if (name == QLatin1String("p-art") && Upd_8_ExtrFeldInhalt(at(m)).toUpper() == QLatin1String("JP"))
                pArt = QStringLiteral("JP");
            else if (name == QLatin1String("p-funktion"))
                funktion = Upd_8_ExtrFeldInhalt(at(m));
            else if (name == QLatin1String("p-eintr-datum"))
                eintr = Upd_8_ExtrFeldInhalt(at(m));
            else if (name == QLatin1String("p-austr-datum"))
                austr = Upd_8_ExtrFeldInhalt(at(m));
        }
        if (pers == kKeinInhalt)
            return;
        if (pers.isEmpty()) {
            // Without any pers-nr element the rows could never be reached or
            // replaced again: the block is skipped like one with an empty pers-nr.
            Error_Log(site.label, QString(), 0,
                      QStringLiteral("Person ohne Personennummer: es wurden keine früheren Daten gelöscht!"),
                      QStringLiteral("BetrNr: ") + betrNr + QStringLiteral(" BetrHistNr: ") + betrHistNr, 0);
            return;
        }
        // Taken once the whole block is read, so that the element order
        // inside the person does not decide whom the next persons represent.
        if (pArt == QLatin1String("JP"))
            g.Imp_JP_PersNr = pers;
        if (funktion == kKeinInhalt)
            funktion.clear();
        if (eintr == kKeinInhalt)
            eintr.clear();
        if (austr == kKeinInhalt)
            austr.clear();

        static const QString byPerson = keyPattern(QStringLiteral("pers-nr"));
        static const QString byPersonAndBusiness =
            byPerson + QStringLiteral(" AND ") + keyPattern(QStringLiteral("betr-nr"));
        const std::vector<QString> kp{pers};
        killMatching(byPerson, kp, g.RS_person);
        killMatching(byPerson, kp, g.RS_person_staatsang);
        // A block without business number must not take the permits that
        // belong to all businesses of the person (empty betr-nr).
        if (!betrNr.isEmpty()) {
            const std::vector<QString> kpb{pers, betrNr};
            killMatching(byPersonAndBusiness, kpb, g.RS_person_erlaubnis);
            killMatching(byPersonAndBusiness, kpb, g.RS_person_handwerkskarte);
        }
    }

    step([&] { recordset(target, "RS").addNew(); });
    bool ok = false;

    if (isPerson) {
        // One nested row: from its start line to its end line, or to the end
        // of the person block when the end line is missing.
        const auto nested = [&](int &m, const char *start, const char *end, RS &rs, bool withBusiness) {
            if (at(m) != QLatin1String(start))
                return;
            step([&] { recordset(rs, "RS").addNew(); });
            bool ok2 = false;
            while (at(m) != QLatin1String(end)) {
                if (m >= k) {
                    Error_Log(site.label, runtime::source(), engine::err::SubscriptOutOfRange,
                              engine::standardErrorText(engine::err::SubscriptOutOfRange),
                              QString::fromLatin1(start) + QStringLiteral(" ohne ") + QString::fromLatin1(end), 0);
                    break;
                }
                ++m;
                if (writeLine(at(m), rs, site))
                    ok2 = true;
            }
            if (!withBusiness)
                step([&] { recordset(rs, "RS").setValue(QStringLiteral("pers-nr"), pers); });
            if (ok2) {
                if (withBusiness) {
                    step([&] { recordset(rs, "RS").setValue(QStringLiteral("pers-nr"), pers); });
                    step([&] { recordset(rs, "RS").setValue(QStringLiteral("betr-nr"), betrNr); });
                }
                step([&] { recordset(rs, "RS").update(); });
            } else {
                step([&] { recordset(rs, "RS").cancelUpdate(); });
            }
            if (withBusiness)
                emptyLineGlobals();
        };
        for (int m = 1; m <= k; ++m) {
            nested(m, "<staatsangehoerigkeit>", "</staatsangehoerigkeit>", g.RS_person_staatsang, false);
            nested(m, "<p-erlaubnis>", "</p-erlaubnis>", g.RS_person_erlaubnis, true);
            nested(m, "<p-handwerkskarte>", "</p-handwerkskarte>", g.RS_person_handwerkskarte, true);
            if (!isLinkElement(elementName(at(m))) && writeLine(at(m), target, site))
                ok = true;
        }
    } else {
        for (int m = 1; m <= k; ++m)
            if (!isLinkElement(elementName(at(m))) && writeLine(at(m), target, site))
                ok = true;
    }

    if (!ok) {
        step([&] { recordset(target, "RS").cancelUpdate(); });
        return;
    }

    if (kind != 5) {
        step([&] { recordset(target, "RS").setValue(QStringLiteral("betr-nr"), betrNr); });
        step([&] { recordset(target, "RS").setValue(QStringLiteral("betr-hist-nr"), betrHistNr); });
        step([&] { recordset(target, "RS").update(); });
        return;
    }

    if (pArt == QLatin1String("JP")) {
        step([&] {
            const std::optional<QString> typ = legalFormType(rechtsform);
            if (typ) {
                if (*typ == QLatin1String("P") && funktion == QLatin1String("3")) {
                    g.Imp_JP_PersNr = g.Imp_JP_PersNr_gesichert;
                    representative = true;
                } else {
                    g.Imp_JP_PersNr_gesichert = g.Imp_JP_PersNr;
                }
            }
        });
    }

    // The juridical person this one is linked to, as the link row would store it.
    QVariant persNrJp;
    step([&] {
        if (representative ||
            recordset(target, "RS").value(QStringLiteral("p-art")).toString().toUpper() == QLatin1String("NP"))
            persNrJp = g.Imp_JP_PersNr.toString();
    });
    const QString jp = g.Imp_JP_PersNr.toString();

    bool found = false;
    step([&] {
        engine::Recordset &bez = recordset(g.RS_beziehung_betrieb_person, "RS_beziehung_betrieb_person");
        // Only whether the link row is there counts: the set's current row
        // is of no further use to the import.
        // "+" keeps the column's collation but not its index: many links
        // share one pers-nr-jp (the empty one of every sole trader), while
        // bez-pers-nr finds the few rows of this person.
        // The four shapes of this search, made once: with and without a
        // history number, with and without a juridical person.
        static const auto shape = [](bool emptyHistory, bool noJp) {
            const QString and_ = QStringLiteral("AND ");
            return keyPattern(QStringLiteral("bez-pers-nr")) + and_ + keyPattern(QStringLiteral("p-funktion")) + and_ +
                   keyPattern(QStringLiteral("bez-betr-nr")) + and_ +
                   histKeyPattern(QStringLiteral("bez-betr-hist-nr"), emptyHistory ? QString() : QStringLiteral("x")) +
                   and_ +
                   (noJp ? QStringLiteral("[pers-nr-jp] Is Null")
                         : QStringLiteral("+") + keyPattern(QStringLiteral("pers-nr-jp")));
        };
        static const QString shapes[2][2] = {{shape(false, false), shape(false, true)},
                                             {shape(true, false), shape(true, true)}};
        const bool noJp = engine::isNull(persNrJp);
        std::vector<QString> values{pers, funktion, betrNr, betrHistNr};
        if (!noJp)
            values.push_back(persNrJp.toString());
        found = bez.anyMatching(shapes[betrHistNr.isEmpty()][noJp], values);
    });
    if (!found) {
        RS &bez = g.RS_beziehung_betrieb_person;
        step([&] { recordset(bez, "RS_beziehung_betrieb_person").addNew(); });
        step([&] { recordset(bez, "RS_beziehung_betrieb_person").setValue(QStringLiteral("bez-betr-nr"), betrNr); });
        step([&] {
            recordset(bez, "RS_beziehung_betrieb_person")
                .setValue(QStringLiteral("bez-sort-nr"), QString::number(g.Imp_Bez_Sort_Nr));
        });
        step([&] {
            recordset(bez, "RS_beziehung_betrieb_person").setValue(QStringLiteral("bez-betr-hist-nr"), betrHistNr);
        });
        step([&] { recordset(bez, "RS_beziehung_betrieb_person").setValue(QStringLiteral("bez-pers-nr"), pers); });
        step([&] { recordset(bez, "RS_beziehung_betrieb_person").setValue(QStringLiteral("p-funktion"), funktion); });
        step([&] {
            Upd_5_Felder(recordset(bez, "RS_beziehung_betrieb_person").field(QStringLiteral("p-eintr-datum")), eintr);
        });
        step([&] {
            Upd_5_Felder(recordset(bez, "RS_beziehung_betrieb_person").field(QStringLiteral("p-austr-datum")), austr);
        });
        if (!engine::isNull(persNrJp))
            step([&] { recordset(bez, "RS_beziehung_betrieb_person").setValue(QStringLiteral("pers-nr-jp"), jp); });
        step([&] { recordset(bez, "RS_beziehung_betrieb_person").update(); });
    }

    step([&] { recordset(target, "RS").update(); });
}
