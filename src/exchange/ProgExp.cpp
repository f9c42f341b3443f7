// The export driver: the selection, one file or one file per key value, the
// header, the processing status, the record loop with progress and ESC, and
// the output files.

#include "exchange/ProgExp.h"
#include "exchange/ExportSelection.h"

#include "engine/Database.h"
#include "engine/Recordset.h"
#include "platform/Cp1252.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "platform/VersionInfo.h"
#include "storage/Declare.h"
#include "storage/ErrorLog.h"
#include "storage/RuntimeError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <map>
#include <memory>
#include <utility>

namespace {

const QString kMenu = QStringLiteral("menue_export_textdatei");
const QString kTitel = QStringLiteral("Text-Export!");
const QString kKeyList = QStringLiteral(
    "SELECT betrieb.schluesselfeld From betrieb GROUP BY betrieb.schluesselfeld HAVING (betrieb.schluesselfeld<>'')");
constexpr int kEsc = 27;
// The status line and the bar change at most this often; the window system
// still gets its turn (and ESC its chance) after every business.
constexpr qint64 kDisplayIntervalMs = 40;

template <typename Hook, typename... Args>
void call(const Hook &hook, Args &&...args)
{
    if (hook)
        hook(std::forward<Args>(args)...);
}

QString text(const QVariant &v)
{
    return engine::isNull(v) ? QString() : v.toString();
}

void box(const QString &message)
{
    Declare &g = G();
    g.Msg_Titel = kTitel;
    g.Msg_Text = message;
    g.Msg_Stil = 64;
    Msg_Box();
}

std::function<QDateTime()> &exportClock()
{
    static std::function<QDateTime()> c;
    return c;
}

// An output file and the lines not yet handed to it: written in large
// pieces, an export spends its time on the data rather than on the calls.
struct OutFile
{
    std::unique_ptr<QSaveFile> file;
    QByteArray pending;

    // False when the disk took less than it was given.
    bool flush()
    {
        const bool ok = pending.isEmpty() || file->write(pending) == pending.size();
        pending.clear();
        return ok;
    }
};
constexpr qsizetype kFlushSize = 256 * 1024;

std::map<int, OutFile> &files()
{
    static std::map<int, OutFile> open;
    return open;
}

OutFile &file(int number)
{
    const auto it = files().find(number);
    if (it == files().end())
        runtime::raise(52, QString::number(number));
    return it->second;
}

QString element(const QString &name, const QString &value)
{
    return QLatin1Char('<') + name + QLatin1Char('>') + value + QStringLiteral("</") + name + QLatin1Char('>');
}

// One run of RML_Exp_1.
class TextExport
{
public:
    TextExport(const QVariant &art, const exchange::ExportHeader &header, const std::function<void()> &afterFirstHeader)
        : m_keyMode(art.toString() == exchange::kSchluesselfeld), m_header(header), m_afterFirstHeader(afterFirstHeader)
    {
    }

    void run();
    void errorEnd();

private:
    enum class Next { Go, Stop };
    Next writeFile(const QString &key);
    QString fileName(const QString &key);
    void line(const QString &l) { exchange::writeExportLine(m_file, l); }
    void showProgress(long counter, long total);
    void closeKeys();
    void commitPending();
    void endSteps();

    bool m_keyMode;
    exchange::ExportHeader m_header;
    std::function<void()> m_afterFirstHeader;
    RS m_keys;
    DB m_transaction; // the database of the open transaction, if any
    int m_file = 0;
    int m_width = 0;
    QSet<QString> m_names;
    QElapsedTimer m_display;
};

void TextExport::run()
{
    Declare &g = G();
    g.Ortungs_Nr = 0;
    // A key pressed on the record window before this export belongs to no export.
    g.Letzte_Taste = 0;
    call(g.forms.setMenuChecked, kMenu, true);
    DB &db = runtime::require(g.Datenbank_Daten, "Datenbank_Daten");

    long fileCount = 1;
    if (m_keyMode) {
        m_keys = db->openRecordset(kKeyList);
        if (m_keys->recordCount() == 0) {
            platform::MessageService::show(QStringLiteral("In der Datenbank wurden keine Schlüsselnummern gefunden!"),
                                           platform::versionInfo().productName, 0);
            closeKeys();
            call(g.forms.setMenuChecked, kMenu, false);
            return;
        }
        m_keys->moveLast();
        fileCount = m_keys->recordCount();
        m_keys->moveFirst();
    }

    for (long i = 1; i <= fileCount; ++i) {
        QString key;
        if (m_keyMode) {
            key = text(m_keys->value(QStringLiteral("schluesselfeld")));
            m_keys->moveNext();
        }
        if (writeFile(key) == Next::Stop)
            return;
    }
    closeKeys();
    endSteps();
    g.Ortungs_Nr = 2;
}

TextExport::Next TextExport::writeFile(const QString &key)
{
    Declare &g = G();
    const FormHooks &f = g.forms;
    const DB db = runtime::require(g.Datenbank_Daten, "Datenbank_Daten");
    // One transaction per file: the selection, the rows the loop reads and
    // the statuses the pass stores are of one state of the database, and
    // the pass stores its rows together.
    db->beginTrans();
    m_transaction = db;
    // The selection holds its rows' rowids only and reads each row from
    // betrieb when it is written; RS_betrieb is pointed at that table.
    exchange::ExportSelection rs(db, m_keyMode ? std::optional<QString>(key) : std::nullopt);
    g.RS_betrieb = db->openRecordset(QStringLiteral("betrieb"));
    if (rs.count() == 0) {
        commitPending();
        box(QStringLiteral("Es wurden keine Daten in der Betriebsdatenbank gefunden!"));
        return Next::Go;
    }

    call(f.setBusyCursor, true);
    const long total = rs.count();
    call(f.setProgressMax, int(total));
    call(f.setProgressValue, 0);
    m_width = int(QString::number(total).size()) + 1;

    const QString name = fileName(key);
    m_file = exchange::openExportFile(platform::resolvePath(g.Verz_Dat + name));
    g.Exp_Dateinummer = m_file;

    const auto &t = m_header.text;
    line(QStringLiteral("<gewerbedatei xmlns:ploxaML='http://www.ploxa.de/rml'>"));
    line(QStringLiteral("<verwaltungsblock>"));
    line(element(QStringLiteral("verarbeitungsart"), t[0]));
    line(element(QStringLiteral("struktur"), t[1]));
    line(element(QStringLiteral("rml-version"), t[14]));
    line(element(QStringLiteral("erstelldatum"), exchange::headerDate(t[2])));
    // The dialog shows hh.mm.ss; the file carries the six digits.
    line(element(QStringLiteral("erstellzeit"), QString(t[3]).remove(QLatin1Char('.'))));
    line(element(QStringLiteral("ersteller"), t[4]));
    line(element(QStringLiteral("ersteller-id"), t[5]));
    line(element(QStringLiteral("erstellquelle"), t[6]));
    line(element(QStringLiteral("ersteller-email"), t[7]));
    line(element(QStringLiteral("berichts-zeitraum-von"), exchange::headerDate(t[8])));
    line(element(QStringLiteral("berichts-zeitraum-bis"), exchange::headerDate(t[9])));
    line(element(QStringLiteral("zahl-betriebe-gesamt"), QString::number(total)));
    line(QStringLiteral("<gemeinden>"));
    line(QStringLiteral("<gemeinde>"));
    line(element(QStringLiteral("gem-name"), t[11]));
    line(element(QStringLiteral("gem-kz"), t[12]));
    line(element(QStringLiteral("gem-telefon"), t[13]));
    line(QStringLiteral("</gemeinde>"));
    line(QStringLiteral("</gemeinden>"));
    line(QStringLiteral("</verwaltungsblock>"));
    line(QStringLiteral("<datenblock>"));
    if (m_afterFirstHeader) {
        const auto unload = std::move(m_afterFirstHeader);
        m_afterFirstHeader = {};
        unload();
    }

    RML_Exp_4_BearbStatus(rs);
    rs.moveFirst();
    long counter = 0;
    g.Ortungs_Nr = 1;
    m_display.invalidate();
    while (!rs.eof()) {
        call(f.processEvents);
        if (g.Letzte_Taste == kEsc) {
            commitPending();
            g.Letzte_Taste = 0;
            box(QStringLiteral("Der Vorgang wurde abgebrochen!"));
            call(f.setProgressValue, 0);
            call(f.setBusyCursor, false);
            call(f.setMenuChecked, kMenu, false);
            call(f.setStatusText, QStringLiteral("Auswahl von Gewerbedaten!"));
            closeKeys();
            // The businesses written so far are whole; the reader needs no end lines.
            const int done = std::exchange(m_file, 0);
            exchange::finishExportFile(done);
            return Next::Stop;
        }
        ++counter;
        line(QStringLiteral("<betrieb>"));
        showProgress(counter, total);
        RML_Exp_2_Tabellen(rs.value(QStringLiteral("betr-nr")), rs.value(QStringLiteral("betr-hist-nr")), rs);
        line(QStringLiteral("</betrieb>"));
        rs.moveNext();
    }
    showProgress(counter, total);
    commitPending();
    line(QStringLiteral("</datenblock>"));
    line(QStringLiteral("</gewerbedatei>"));
    exchange::finishExportFile(std::exchange(m_file, 0));
    box(QStringLiteral("Die Datei '") + name + QStringLiteral("' wurde im Verzeichnis '") + g.Verz_Dat
        + QStringLiteral("' erstellt!"));
    return Next::Go;
}

QString TextExport::fileName(const QString &key)
{
    const QString stamp = exchange::now().toString(QStringLiteral("dd-MM-yyyy_HH-mm-ss"));
    const QString base = m_keyMode ? exchange::fileNamePart(key) + QLatin1Char('_') + stamp : stamp;
    // Keys that differ only in characters a file name cannot hold must not
    // overwrite each other's file within one run.
    QString name = base + QStringLiteral(".rml");
    for (int n = 2; m_names.contains(name.toUpper()); ++n)
        name = base + QLatin1Char('_') + QString::number(n) + QStringLiteral(".rml");
    m_names.insert(name.toUpper());
    return name;
}

void TextExport::showProgress(long counter, long total)
{
    const bool last = counter == total;
    if (!last && m_display.isValid() && m_display.elapsed() < kDisplayIntervalMs)
        return;
    m_display.start();
    const FormHooks &f = G().forms;
    call(f.setProgressValue, int(counter));
    call(f.setStatusText, QStringLiteral("Übertrage Satz ") + QString::number(counter).rightJustified(m_width, QLatin1Char(' '))
                              + QStringLiteral(" von ") + QString::number(total).rightJustified(m_width, QLatin1Char(' '))
                              + QStringLiteral(" (ESC = Abbrechen)"));
}

void TextExport::closeKeys()
{
    if (!m_keys)
        return;
    const RS keys = std::move(m_keys);
    m_keys.reset();
    keys->close();
}

void TextExport::commitPending()
{
    if (!m_transaction)
        return;
    const DB db = std::move(m_transaction);
    m_transaction.reset();
    db->commitTrans();
}

void TextExport::endSteps()
{
    const FormHooks &f = G().forms;
    call(f.setMenuChecked, kMenu, false);
    call(f.setStatusText, QStringLiteral("Auswahl von Gewerbedaten!"));
    call(f.setBusyCursor, false);
}

void TextExport::errorEnd()
{
    Declare &g = G();
    // The status letters stored so far stay stored.
    if (m_transaction) {
        const DB db = std::move(m_transaction);
        m_transaction.reset();
        if (db->isOpen() && !guarded(QStringLiteral("RML_Exp_1"), [&db] { db->commitTrans(); }))
            guarded(QStringLiteral("RML_Exp_1"), [&db] { db->rollback(); });
    }
    // A file cut short by the error would pass for a complete one: it goes.
    if (m_file != 0)
        exchange::discardExportFile(std::exchange(m_file, 0));
    guarded(QStringLiteral("RML_Exp_1"), [this] { closeKeys(); });
    m_keys.reset();
    endSteps();
    // Without a word the clerk would take the files reported so far for the
    // whole export.
    g.Msg_Titel = kTitel;
    g.Msg_Text = QStringLiteral("Der Export wurde wegen eines Fehlers abgebrochen!") + QChar(10)
                 + QStringLiteral("Näheres steht in der Log-Datei ('") + g.Verz_Log + QStringLiteral("ERROR.LOG').");
    g.Msg_Stil = 16;
    Msg_Box();
}

} // namespace

namespace exchange {

QString rmlVersionText()
{
    const QString digits = QString::number(platform::versionInfo().minor);
    return digits.mid(0, 1) + QLatin1Char('.') + digits.mid(1, 1) + QLatin1Char('.') + digits.mid(2, 1);
}

QString headerDate(const QString &dialogText)
{
    const QString t = dialogText.trimmed();
    if (t.isEmpty())
        return {};
    const QStringList parts = t.split(QLatin1Char('.'));
    if (parts.size() != 3)
        return {};
    bool okDay = false, okMonth = false, okYear = false;
    const int day = parts.at(0).trimmed().toInt(&okDay);
    const int month = parts.at(1).trimmed().toInt(&okMonth);
    int year = parts.at(2).trimmed().toInt(&okYear);
    if (!okDay || !okMonth || !okYear)
        return {};
    // Two-digit years as the desktop reads them: 00-29 this century.
    if (parts.at(2).trimmed().size() <= 2)
        year += year < 30 ? 2000 : 1900;
    const QDate date(year, month, day);
    return date.isValid() ? date.toString(QStringLiteral("yyyyMMdd")) : QString();
}

QString fileNamePart(const QString &key)
{
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    QString out;
    out.reserve(key.size());
    for (const QChar c : key)
        out += (c.unicode() < 32 || c.unicode() == 127 || (c.unicode() >= 0x80 && c.unicode() < 0xA0) || forbidden.contains(c))
                   ? QLatin1Char('_')
                   : c;
    qsizetype b = 0, e = out.size();
    while (b < e && out.at(b) == QLatin1Char(' '))
        ++b;
    while (e > b && (out.at(e - 1) == QLatin1Char(' ') || out.at(e - 1) == QLatin1Char('.')))
        --e;
    // A name that begins with a dot is hidden from the file dialog and the
    // desktop, and ".." names the directory above.
    for (qsizetype i = b; i < e && out.at(i) == QLatin1Char('.'); ++i)
        out[i] = QLatin1Char('_');
    return out.mid(b, e - b);
}

QDateTime now()
{
    return exportClock() ? exportClock()() : QDateTime::currentDateTime();
}

void setClock(std::function<QDateTime()> c)
{
    exportClock() = std::move(c);
}

int openExportFile(const QString &path)
{
    int number = 1;
    while (files().count(number))
        ++number;
    auto out = std::make_unique<QSaveFile>(path);
    if (!out->open(QIODevice::WriteOnly)) {
        const QFileInfo info(path);
        runtime::raise(info.dir().exists() ? runtime::PathFileAccess : runtime::PathNotFound, path);
    }
    files()[number].file = std::move(out);
    return number;
}

namespace {

// The parts of one line, in Windows-1252 with CR LF, through one buffer for
// every line: an export writes some sixty lines per business.
void writeParts(int number, std::initializer_list<QStringView> parts)
{
    OutFile &out = file(number);
    qsizetype size = 2;
    for (const QStringView part : parts)
        size += part.size();
    const qsizetype at = out.pending.size();
    out.pending.resize(at + size);
    char *end = out.pending.data() + at;
    for (const QStringView part : parts)
        end = platform::encodeCp1252(part, end);
    *end++ = '\r';
    *end = '\n';
    if (out.pending.size() >= kFlushSize && !out.flush())
        runtime::raise(61, out.file->fileName());
}

} // namespace

void writeExportLine(int number, const QString &line)
{
    writeParts(number, {line});
}

void writeExportElement(int number, QStringView name, QStringView value)
{
    writeParts(number, {u"<", name, u">", value, u"</", name, u">"});
}

void finishExportFile(int number)
{
    OutFile &out = file(number);
    const QString name = out.file->fileName();
    const bool written = out.flush();
    if (!written)
        out.file->cancelWriting();
    const bool ok = written && out.file->commit();
    files().erase(number);
    if (G().Exp_Dateinummer == number)
        G().Exp_Dateinummer = 0;
    if (!written)
        runtime::raise(61, name);
    if (!ok)
        runtime::raise(runtime::PathFileAccess, name);
}

void discardExportFile(int number)
{
    const auto it = files().find(number);
    if (it == files().end())
        return;
    it->second.file->cancelWriting();
    files().erase(it);
    if (G().Exp_Dateinummer == number)
        G().Exp_Dateinummer = 0;
}

} // namespace exchange

void RML_Exp_1(const QVariant &art, const exchange::ExportHeader &header, const std::function<void()> &afterFirstHeader)
{
    const exchange::BodySession session;
    TextExport run(art, header, afterFirstHeader);
    if (!guarded(QStringLiteral("RML_Exp_1"), [&run] { run.run(); }))
        run.errorEnd();
}

void RML_Exp_4_BearbStatus(exchange::ExportSelection &selection)
{
    // From the last row to the first, every row, also where its status
    // stays as it was.
    for (long i = selection.count() - 1; i >= 0; --i)
        selection.storeStatus(i);
}
