#include "storage/Options.h"

#include "platform/FileSystem.h"
#include "storage/Declare.h"
#include "storage/ErrorLog.h"
#include "storage/RuntimeError.h"

#include <QFileInfo>

namespace {

const QString kBetrieb = QStringLiteral("BETRIEBSBEZOGEN");
const QString kMeldung = QStringLiteral("MELDUNGSBEZOGEN");

void setCaption(const QString &caption)
{
    const FormHooks &f = G().forms;
    if (f.setMainCaption)
        f.setMainCaption(caption);
}

QString captionFor(bool betriebsbezogen)
{
    return betriebsbezogen ? QStringLiteral("PLOXA_4x_Access (betriebsbezogene Daten)")
                           : QStringLiteral("PLOXA_4x_Access (meldungsbezogene Daten)");
}

QString pathText(int index)
{
    const FormHooks &f = G().forms;
    return f.optionenPathText ? f.optionenPathText(index) : QString();
}

// The data kind compares with case: only the exact word means business-related.
bool isBetrieb(const QVariant &datenart)
{
    return !engine::isNull(datenart) && datenart.toString() == kBetrieb;
}

void store(RS &rs, const char *field, const QVariant &value)
{
    rs->edit();
    rs->setValue(QString::fromLatin1(field), value);
    rs->update();
}

void showDatabaseMissing()
{
    Declare &g = G();
    const QChar lf(10);
    g.Msg_Titel = QStringLiteral("Datenbank-Fehler!");
    g.Msg_Text = QString(lf) + QStringLiteral("Die Datenbank wurde am angegebenen Ort nicht gefunden,") + lf + lf
                 + QStringLiteral("deshalb verwendet das Programm die Default-Datenbank!") + lf + lf;
    g.Msg_Stil = 16;
    Msg_Box();
}

// A stored working-database path must name an existing entry of the template's
// file name; the name compares without case, the directory may be anywhere.
void checkPath(RS &rs, const char *field, const QString &fileName)
{
    const QVariant stored = rs->value(QString::fromLatin1(field));
    const QString fallback = G().Verz_DB + fileName;
    if (engine::isNull(stored) || stored.toString().isEmpty()) {
        store(rs, field, fallback);
        return;
    }
    const QString found = platform::findPath(stored.toString());
    const QString listed = found.isEmpty() ? QString() : QFileInfo(found).fileName();
    if (listed.toUpper() != fileName.toUpper()) {
        showDatabaseMissing();
        store(rs, field, fallback);
    }
}

} // namespace

void A_org_lesen()
{
    Declare &g = G();
    g.Ortungs_Nr = 0;
    guarded(QStringLiteral("A_org_lesen"), [&g] {
        RS &rs = runtime::require(g.RS_Optionen, "RS_Optionen");
        if (rs->recordCount() != 0) {
            g.Ortungs_Nr = 2;
            // The table holds one row; after an earlier add the set may stand
            // on no row at all, and the repairs need the row itself.
            if (rs->eof() || rs->bof())
                rs->moveFirst();
            checkPath(rs, "db_betriebsbezogen", QStringLiteral("px_4x_b.mdb"));
            checkPath(rs, "db_meldungsbezogen", QStringLiteral("px_4x_m.mdb"));
            const QVariant datenart = rs->value(QStringLiteral("datenart"));
            if (isBetrieb(datenart) || engine::isNull(datenart) || datenart.toString().trimmed().isEmpty()) {
                store(rs, "datenart", kBetrieb);
                setCaption(captionFor(true));
            } else {
                setCaption(captionFor(false));
            }
        } else {
            g.Ortungs_Nr = 1;
            rs->addNew();
            rs->setValue(QStringLiteral("datenart"), kBetrieb);
            rs->setValue(QStringLiteral("db_betriebsbezogen"), g.Verz_DB + QStringLiteral("px_4x_b.mdb"));
            rs->setValue(QStringLiteral("db_meldungsbezogen"), g.Verz_DB + QStringLiteral("px_4x_m.mdb"));
            rs->setValue(QStringLiteral("filter_aktiv"), false);
            rs->setValue(QStringLiteral("Dateiendung_registriert"), false);
            rs->update();
        }
        rs->moveFirst();
        const QVariant datenart = rs->value(QStringLiteral("datenart"));
        if (isBetrieb(datenart)) {
            g.Datei_DB_Daten = rs->value(QStringLiteral("db_betriebsbezogen")).toString();
            g.DB_Vorlage_Name = QStringLiteral("px_4x_b");
        } else {
            g.Datei_DB_Daten = rs->value(QStringLiteral("db_meldungsbezogen")).toString();
            g.DB_Vorlage_Name = QStringLiteral("px_4x_m");
        }
        g.Gemeindefilter_aktiv = rs->value(QStringLiteral("filter_aktiv")).toBool();
        g.Dateityp_registriert = rs->value(QStringLiteral("Dateiendung_registriert")).toBool();
        g.Datenart_aktuell = datenart;
        g.Datei_DB_betriebsbezogen = rs->value(QStringLiteral("db_betriebsbezogen"));
        g.Datei_DB_meldungsbezogen = rs->value(QStringLiteral("db_meldungsbezogen"));
    });
}

bool A_org_update()
{
    Declare &g = G();
    g.Ortungs_Nr = 0;
    const bool ok = guarded(QStringLiteral("A_org_update"), [&g] {
        RS &rs = runtime::require(g.RS_Optionen, "RS_Optionen");
        if (rs->recordCount() > 0) {
            g.Ortungs_Nr = 1;
            rs->moveFirst();
            rs->edit();
        } else {
            rs->addNew();
        }
        const QString betriebPfad = pathText(0);
        const QString meldungPfad = pathText(1);
        if (!betriebPfad.isEmpty())
            rs->setValue(QStringLiteral("db_betriebsbezogen"), betriebPfad);
        if (!meldungPfad.isEmpty())
            rs->setValue(QStringLiteral("db_meldungsbezogen"), meldungPfad);
        if (!isBetrieb(g.Datenart_aktuell)) {
            rs->setValue(QStringLiteral("datenart"), kMeldung);
            g.Datei_DB_Daten = meldungPfad;
            g.DB_Vorlage_Name = QStringLiteral("px_4x_m");
            setCaption(captionFor(false));
        } else {
            rs->setValue(QStringLiteral("datenart"), kBetrieb);
            g.Datei_DB_Daten = betriebPfad;
            g.DB_Vorlage_Name = QStringLiteral("px_4x_b");
            setCaption(captionFor(true));
        }
        g.Ortungs_Nr = 2;
        rs->setValue(QStringLiteral("filter_aktiv"), g.Gemeindefilter_aktiv);
        g.Ortungs_Nr = 3;
        rs->setValue(QStringLiteral("Dateiendung_registriert"), g.Dateityp_registriert);
        rs->update();
        A_org_lesen();
    });
    if (!ok && g.RS_Optionen && g.RS_Optionen->isOpen()
        && g.RS_Optionen->editMode() != engine::Recordset::EditMode::None) {
        // The failed change stays unstored; dropping it keeps the next edit of
        // the options row from tripping over a half-made one.
        try {
            g.RS_Optionen->cancelUpdate();
        } catch (const engine::EngineError &) {
        }
    }
    return ok;
}
