#include "storage/ErrorLog.h"

#include "engine/EngineError.h"
#include "platform/Cp1252.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "storage/Declare.h"

#include <QDateTime>
#include <QFile>

namespace {

QString valueText(const QVariant &v)
{
    if (engine::isNull(v))
        return {};
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("Wahr") : QStringLiteral("Falsch");
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    return v.toString();
}

QString logPath()
{
    return G().Verz_Log + QStringLiteral("ERROR.LOG");
}

} // namespace

void Error_Log(const QVariant &label, const QVariant &source, const QVariant &number, const QVariant &text,
               const QVariant &caption, const QVariant &value)
{
    Declare &g = G();
    QString out;
    const QString crlf = QStringLiteral("\r\n");
    if (g.Fehler_geloggt == 0) {
        const QDateTime now = QDateTime::currentDateTime();
        out += QString(88, QLatin1Char('_')) + crlf;
        out += QString(88, QLatin1Char('#')) + crlf;
        out += QStringLiteral("[Error-Log vom      ") + now.toString(QStringLiteral("dd.MM.yyyy"))
               + QLatin1Char(' ') + now.toString(QStringLiteral("HH:mm:ss")) + QLatin1Char(']') + crlf;
    }
    out += QString(38, QLatin1Char('-')) + crlf;
    out += QStringLiteral("Fehler in Sub/Function: ") + valueText(label) + crlf;
    out += QStringLiteral("Fehler-Source:          ") + valueText(source) + crlf;
    out += QStringLiteral("Fehlernummer:           ") + valueText(number) + crlf;
    out += QStringLiteral("Fehlertext:             ") + valueText(text) + crlf;
    out += QStringLiteral("Fehlerortung:           ") + valueText(caption) + crlf;
    out += QStringLiteral("Ortungs-Nummer/BetrNr:  ") + valueText(value) + crlf;

    // The exit prompt offers the log only when the record is in it; a record
    // that could not be written leaves the flag, and so the next banner, as
    // they were.
    QFile file(platform::resolvePath(logPath()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QByteArray bytes = platform::toCp1252(out);
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (written)
        g.Fehler_geloggt = 1;
}

void Error_Log_Anzeigen()
{
    Declare &g = G();
    if (g.Fehler_geloggt == 0)
        return;
    g.Msg_Titel = QStringLiteral("Achtung!");
    g.Msg_Text = QStringLiteral("Update-Fehler!") + QChar(10) + QStringLiteral("Wollen Sie die Log-Datei ('") + g.Verz_Log
                 + QStringLiteral("ERROR.LOG')") + QStringLiteral(" ansehen?");
    g.Msg_Stil = 36;
    Msg_Box();
    if (g.Msg_Antwort == platform::vbYes)
        g.Notepad_TaskID = platform::openWithViewer(platform::resolvePath(logPath())) ? 1.0 : 0.0;
    g.Fehler_geloggt = 0;
}

void logCurrentError(const ErrorSite &site)
{
    int number = 5;
    QString source = QStringLiteral("PLOXA_4x_Access");
    bool spoilsUnit = false;
    try {
        throw;
    } catch (const UnitAbandoned &) {
        throw; // logged where it struck
    } catch (const engine::EngineError &e) {
        number = e.number();
        source = e.source();
        spoilsUnit = e.spoilsUnit();
    } catch (const std::bad_alloc &) {
        number = 7;
    } catch (...) {
    }
    const QVariant value = site.value ? site.value() : QVariant(int(G().Ortungs_Nr));
    Error_Log(site.label, source, number, engine::standardErrorText(number), site.caption, value);
    if (spoilsUnit)
        throw UnitAbandoned{number};
}

bool guarded(const ErrorSite &site, const std::function<void()> &body)
{
    return guardedStep(site, body);
}

bool guarded(const QString &label, const std::function<void()> &body)
{
    return guarded(ErrorSite{label, QStringLiteral("Fehlerortung: "), {}}, body);
}
