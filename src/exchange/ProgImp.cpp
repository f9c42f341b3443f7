// The import driver: confirmation, reading the transfer file in pieces,
// the header checks, cutting the business blocks, progress, ESC, the
// periodic compaction and the endings.

#include "exchange/Import.h"
#include "exchange/ProgImp.h"
#include "exchange/ImportSupport.h"

#include "platform/Cp1252.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "platform/VersionInfo.h"
#include "storage/DatabaseHandling.h"
#include "storage/ErrorLog.h"
#include "storage/RuntimeError.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringMatcher>
#include <climits>
#include <utility>

namespace exchange {

namespace {
qint64 g_pieceSize = kPieceSize;
}

qint64 pieceSize()
{
    return g_pieceSize;
}

void setPieceSize(qint64 characters)
{
    g_pieceSize = characters > 0 ? characters : kPieceSize;
}

} // namespace exchange

namespace {

const QString kImportMenu = QStringLiteral("menue_import_datenbank");
const QString kBetriebStart = QStringLiteral("<betrieb>");
const QString kBetriebEnd = QStringLiteral("</betrieb>");
const QString kAbgebrochen = QStringLiteral("Der Vorgang wurde abgebrochen!");
const QString kTitel = QStringLiteral("Datenbank-Update!");
constexpr int kCompactionInterval = 10;
// Businesses are committed together for at most this long: a commit per
// business would write every touched page again and again.
constexpr qint64 kCommitIntervalMs = 1000;
// The status line and the bar change at most this often; the window system
// still gets its turn after every business.
constexpr qint64 kDisplayIntervalMs = 40;
constexpr int kEsc = 27;
const QChar LF(10);

template <typename Hook, typename... Args> void call(const Hook &hook, Args &&...args)
{
    if (hook)
        hook(std::forward<Args>(args)...);
}

void status(const QString &text)
{
    call(G().forms.setStatusText, text);
}

// The text between the first start tag and the first end tag, when both are there.
bool between(const QString &text, const QString &tag, QString &out)
{
    const QString open = QLatin1Char('<') + tag + QLatin1Char('>');
    const QString close = QStringLiteral("</") + tag + QLatin1Char('>');
    const qsizetype a = text.indexOf(open);
    const qsizetype b = text.indexOf(close);
    if (a < 0 || b < 0)
        return false;
    const qsizetype from = a + open.size();
    out = b > from ? text.mid(from, b - from) : QString();
    return true;
}

// The leading number of a text, 0 when it has none.
qint64 leadingNumber(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    const bool negative = i < t.size() && t.at(i) == QLatin1Char('-');
    if (negative || (i < t.size() && t.at(i) == QLatin1Char('+')))
        ++i;
    qint64 value = 0;
    for (; i < t.size() && t.at(i).isDigit() && t.at(i).unicode() < 128; ++i)
        value = qMin<qint64>(value * 10 + (t.at(i).unicode() - '0'), INT_MAX);
    return negative ? -value : value;
}

double versionNumber(const QString &version)
{
    QString digits;
    for (const QChar c : version)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
    return digits.isEmpty() ? 0.0 : digits.toDouble();
}

bool businessRelated(const QVariant &kind)
{
    return kind.toString() == QLatin1String("BETRIEBSBEZOGEN");
}

void ask(const QString &text, int style)
{
    Declare &g = G();
    g.Msg_Titel = kTitel;
    g.Msg_Text = text;
    g.Msg_Stil = style;
    Msg_Box();
}

// One run of Upd_1_Start.
class TransferImport
{
public:
    explicit TransferImport(const QString &path) : m_path(path) {}

    void run();
    void errorPath();

private:
    enum class Next { Go, Stop };

    Next examineHeader(const QString &buffer, qsizetype firstBlock);
    void switchDataKind();
    Next cutBlocks(const QString &buffer, qsizetype &position);
    void importBlock(QString block);
    void commitPending();
    void compact();
    void showProgress();
    void endSteps();

    QString m_path;
    QFile m_file;
    // The header's questions are asked once per import, also when the first
    // business does not end in the piece that holds the header.
    bool m_headerExamined = false;
    qint32 m_businesses = 0;
    int m_pieces = 0;
    QString m_fileKind;
    QString m_total;
    QString m_version;
    int m_progressMax = 0;
    DB m_transaction; // the database of the open transaction, if any
    int m_batchBusinesses = 0; // written in the open transaction
    std::weak_ptr<engine::Database> m_tuned;
    QElapsedTimer m_batch;
    QElapsedTimer m_display;
    bool m_progressShown = true;
    bool m_checked = false; // the first compaction has run
};

void TransferImport::run()
{
    Declare &g = G();
    const FormHooks &f = g.forms;
    g.Ortungs_Nr = 0;
    g.Msg_Text.clear();
    // An ESC pressed before this import belongs to no import.
    g.Letzte_Taste = 0;
    exchange::detail::forgetLegalForms();
    call(f.setMenuChecked, kImportMenu, true);
    status(QStringLiteral("Die Datenübertragung wird vorbereitet, bitte warten!"));
    call(f.setBusyCursor, true);

    g.Ortungs_Nr = 11;
    if (m_path.startsWith(QLatin1Char('"'))) {
        m_path.chop(1);
        m_path.remove(0, 1);
    }

    g.Ortungs_Nr = 12;
    m_file.setFileName(platform::resolvePath(m_path));
    if (!m_file.open(QIODevice::ReadOnly))
        runtime::raise(QFileInfo::exists(m_file.fileName()) ? runtime::PathFileAccess : runtime::FileNotFound, m_path);

    g.Ortungs_Nr = 13;
    m_progressMax = 1000;
    call(f.setProgressMax, m_progressMax);
    call(f.setProgressValue, 0);
    ask(QStringLiteral("Die Datei ''") + m_path + QStringLiteral("'' wird eingelesen und verarbeitet! ") + LF +
            QStringLiteral("Je nach Größe der Datei, kann das Einlesen mehrere Minuten dauern!") + LF +
            QStringLiteral("Soll der Vorgang gestartet werden?"),
        68);
    if (g.Msg_Antwort == platform::vbNo) {
        g.Msg_Text = kAbgebrochen;
        endSteps();
        return;
    }

    g.Ortungs_Nr = 14;
    call(f.showStartPicture);
    m_businesses = 0;
    m_pieces = 0;
    DB_Unbind_DATA();

    QString rest;
    g.Ortungs_Nr = 2;
    while (!m_file.atEnd()) {
        g.Ortungs_Nr = 3;
        const QByteArray bytes = m_file.read(exchange::pieceSize());
        if (bytes.isEmpty() && !m_file.atEnd())
            runtime::raise(57, m_path);
        ++m_pieces;
        showProgress();
        if (m_pieces == 1 || m_pieces % kCompactionInterval == 0) {
            commitPending();
            status(QStringLiteral("Datenbankkomprimierung, bitte warten!"));
            compact();
            // A broken database must not take businesses nor report them as imported.
            storage::requireWorkingDatabase();
        }
        const QString buffer = rest + platform::fromCp1252(bytes);
        rest.clear();
        qsizetype position = 0;

        g.Ortungs_Nr = 4;
        const qsizetype firstBlock = buffer.indexOf(kBetriebStart);
        if (firstBlock < 0) {
            // Until a business has come, the whole text is header and is kept;
            // afterwards only what could be the start of a "<betrieb>" cut by
            // the piece border.
            rest = m_businesses == 0 ? buffer : buffer.right(kBetriebStart.size() - 1);
            g.Ortungs_Nr = 6;
            continue;
        }
        if (!m_headerExamined && examineHeader(buffer, firstBlock) == Next::Stop)
            return;
        if (cutBlocks(buffer, position) == Next::Stop)
            return;
        if (m_businesses == 0) {
            rest = buffer;
        } else {
            // Text between blocks is never read: keep the unfinished block only.
            const qsizetype next = buffer.indexOf(kBetriebStart, position);
            rest =
                next >= 0 ? buffer.mid(next) : buffer.mid(qMax(position, buffer.size() - (kBetriebStart.size() - 1)));
        }
        g.Ortungs_Nr = 6;
    }

    showProgress();
    commitPending();
    compact();
    DB_Load();
    storage::requireWorkingDatabase();
    if (m_businesses == 0) {
        g.Msg_Text = QStringLiteral("Die Transfer-Datei enthält keine Gewerbedaten!");
    } else {
        g.Ortungs_Nr = 7;
        if (g.Fehler_geloggt != 0) {
            g.Msg_Titel = QStringLiteral("Achtung!");
            g.Msg_Text = QStringLiteral("Update-Fehler!") + LF + QStringLiteral("Wollen Sie die Log-Datei ('") +
                         g.Verz_Log + QStringLiteral("ERROR.LOG')") + QStringLiteral(" ansehen?");
            g.Msg_Stil = 36;
            Msg_Box();
            if (g.Msg_Antwort == platform::vbYes)
                g.Notepad_TaskID =
                    platform::openWithViewer(platform::resolvePath(g.Verz_Log + QStringLiteral("ERROR.LOG"))) ? 1.0
                                                                                                              : 0.0;
            g.Fehler_geloggt = 0;
        }
        g.Ortungs_Nr = 8;
        g.Msg_Text = QStringLiteral("Die Daten wurden übertragen!");
    }
    endSteps();
}

TransferImport::Next TransferImport::examineHeader(const QString &buffer, qsizetype firstBlock)
{
    Declare &g = G();
    m_headerExamined = true;
    const QString header = buffer.left(firstBlock + 1);
    QString text;
    if (between(header, QStringLiteral("struktur"), text))
        g.Imp_Datenart = text;
    if (between(header, QStringLiteral("zahl-betriebe-gesamt"), text))
        m_total = text;
    if (between(header, QStringLiteral("rml-version"), text))
        m_version = text.trimmed();
    if (between(header, QStringLiteral("struktur"), text))
        m_fileKind = text.trimmed();

    // Compared with the kind the open database really has, which also decides
    // the deletes before each business.
    const QString dbKind =
        businessRelated(g.Datenart_aktuell) ? QStringLiteral("BETRIEBSBEZOGEN") : QStringLiteral("MELDUNGSBEZOGEN");
    if (m_fileKind.toUpper() != dbKind) {
        ask(QStringLiteral("Sie wollen Daten der Datei-Art ''") + m_fileKind.toUpper() +
                QStringLiteral("''in die Datenbank schreiben.") + LF +
                QStringLiteral("Die derzeitige Datenbank ist aber für die Daten-Art''") + dbKind +
                QStringLiteral("'' definiert") + LF + QStringLiteral("Wollen Sie die Datenbank/Daten-Art wechseln?"),
            68);
        if (g.Msg_Antwort == platform::vbNo) {
            g.Msg_Text = kAbgebrochen;
            endSteps();
            return Next::Stop;
        }
        switchDataKind();
    }

    const double version = versionNumber(m_version);
    const int program = platform::versionInfo().minor;
    if (version != program) {
        if (version > program) {
            Error_Log(QStringLiteral("Upd_1_Start"), QString(), 0, 0,
                      QStringLiteral("Die Datei-Version ''") + m_path + QStringLiteral("'' ist nicht kompatibel!"), 0);
            ask(QStringLiteral("Das Programm ist nicht kompatibel zur Datei ''") + m_path + QStringLiteral("'' ! ") +
                    LF + QStringLiteral("Bitte installieren Sie die neueste Version des Schnittstellenprogrammes, ") +
                    LF + QStringLiteral("da sonst die Daten möglicherweise nicht korrekt übernommen werden!") + LF +
                    QStringLiteral("Soll der Vorgang trotzdem weiter durchgeführt werden?"),
                68);
        } else {
            Error_Log(QStringLiteral("Upd_1_Start"), QString(), 0, 0,
                      QStringLiteral("Die Datei-Version ''") + m_path + QStringLiteral("''ist nicht kompatibel!"), 0);
            ask(QStringLiteral("Die Datei ''") + m_path + QStringLiteral("'' ist nicht kompatibel zum Programm !") +
                    LF + QStringLiteral("Bitte verwenden Sie eine neuere rml-Datei (neuer Download),") + LF +
                    QStringLiteral("da sonst die Daten möglicherweise nicht korrekt übernommen werden!") + LF +
                    QStringLiteral("Soll der Vorgang trotzdem weiter durchgeführt werden?"),
                68);
        }
        if (g.Msg_Antwort == platform::vbNo) {
            g.Msg_Text = kAbgebrochen;
            endSteps();
            return Next::Stop;
        }
    }

    g.Ortungs_Nr = 5;
    m_progressMax = int(qMax<qint64>(0, leadingNumber(m_total)));
    call(g.forms.setProgressMax, m_progressMax);
    call(g.forms.setProgressValue, 0);
    return Next::Go;
}

void TransferImport::switchDataKind()
{
    Declare &g = G();
    DB_Close();
    DB_Unbind_DATA();
    engine::Recordset &options = *runtime::require(g.RS_Optionen, "RS_Optionen");
    options.edit();
    if (!businessRelated(options.value(QStringLiteral("datenart")))) {
        options.setValue(QStringLiteral("datenart"), QStringLiteral("BETRIEBSBEZOGEN"));
        g.Datei_DB_Daten = options.value(QStringLiteral("db_betriebsbezogen")).toString();
        call(g.forms.setMainCaption, QStringLiteral("PLOXA_4x_Access (betriebsbezogene Daten)"));
        g.Datenart_aktuell = QStringLiteral("BETRIEBSBEZOGEN");
        g.DB_Vorlage_Name = QStringLiteral("px_4x_b");
    } else {
        options.setValue(QStringLiteral("datenart"), QStringLiteral("MELDUNGSBEZOGEN"));
        g.Datei_DB_Daten = options.value(QStringLiteral("db_meldungsbezogen")).toString();
        call(g.forms.setMainCaption, QStringLiteral("PLOXA_4x_Access (meldungsbezogene Daten)"));
        g.Datenart_aktuell = QStringLiteral("MELDUNGSBEZOGEN");
        g.DB_Vorlage_Name = QStringLiteral("px_4x_m");
    }
    options.update();
    DB_Load();
    storage::requireWorkingDatabase();
}

TransferImport::Next TransferImport::cutBlocks(const QString &buffer, qsizetype &position)
{
    Declare &g = G();
    for (;;) {
        // Every block is searched for its end: the matchers keep their tables.
        static const QStringMatcher startOfBlock(kBetriebStart), endOfBlock(kBetriebEnd);
        const qsizetype start = startOfBlock.indexIn(buffer, position);
        if (start < 0)
            return Next::Go;
        const qsizetype end = endOfBlock.indexIn(buffer, start);
        if (end < 0)
            return Next::Go; // the next piece completes it
        const qsizetype behind = end + kBetriebEnd.size();
        // The one character after "</betrieb>" (the CR of a CR LF) is skipped.
        position = qMin(behind + 1, buffer.size());
        // The block is handed over as a view into the piece's text, which
        // outlives its import; nothing keeps the block itself.
        importBlock(QString::fromRawData(buffer.constData() + start, behind - start));
        if (m_batch.elapsed() >= kCommitIntervalMs)
            commitPending();

        call(g.forms.processEvents);
        if (g.Letzte_Taste == kEsc) {
            commitPending();
            g.Letzte_Taste = 0;
            g.Msg_Text = kAbgebrochen;
            endSteps();
            return Next::Stop;
        }

        ++m_businesses;
        m_progressShown = false;
        if (!m_display.isValid() || m_display.elapsed() >= kDisplayIntervalMs)
            showProgress();
    }
}

void TransferImport::showProgress()
{
    if (m_progressShown)
        return;
    m_progressShown = true;
    m_display.start();
    const FormHooks &f = G().forms;
    // A header that counts fewer businesses than the file holds only makes
    // the bar longer.
    if (m_businesses > m_progressMax) {
        m_progressMax = m_businesses;
        call(f.setProgressMax, m_progressMax);
    }
    call(f.setProgressValue, m_businesses);
    status(QStringLiteral("Verarbeite Datensatz ") + QString::number(m_businesses) + QStringLiteral(" von ") + m_total +
           QStringLiteral(" (ESC = Abbrechen)"));
}

void TransferImport::importBlock(QString block)
{
    // Businesses are committed together, between businesses: a crash or kill
    // never leaves a business half replaced. Each business is a unit of the
    // batch: a write that the file refuses (another program's lock, a full
    // disk) takes the batch back, so that the business stays as it was
    // instead of losing its old rows or keeping them beside the new ones.
    // What the block procedures keep after an error of a row (an unknown
    // element, a duplicate key) is committed with the rest.
    Declare &g = G();
    if (!m_transaction) {
        DB &db = runtime::require(g.Datenbank_Daten, "Datenbank_Daten");
        if (!db->isOpen())
            throw engine::EngineError(engine::err::ObjectClosed, QStringLiteral("DAO.Database"), g.Datei_DB_Daten);
        if (m_tuned.lock() != db) {
            // Let the journal grow to some 32 MB before its pages are copied
            // back: pages that many businesses touch are then written back
            // once instead of again and again.
            db->execute(QStringLiteral("PRAGMA wal_autocheckpoint=8000"));
            // Every business touches some twenty index pages spread over the
            // whole file; 8 MB keeps the inner ones at hand.
            db->execute(QStringLiteral("PRAGMA cache_size=-8000"));
            m_tuned = db;
        }
        db->beginTrans();
        m_transaction = db;
        m_batchBusinesses = 0;
        m_batch.start();
    }
    const DB db = m_transaction;
    db->beginUnit();
    bool logged = false;
    try {
        Upd_2_Read(block);
    } catch (const UnitAbandoned &) {
        // Logged where it struck; the rest of the business was not tried.
        logged = true;
    }
    const int failure = db->endUnit();
    if (failure == 0) {
        ++m_batchBusinesses;
        return;
    }
    // The batch went with the business.
    m_transaction.reset();
    if (!logged)
        // Spoilt by a step whose error no handler saw: reported as the driver's own.
        throw engine::EngineError(failure, QStringLiteral("DAO.Database"));
    // Another program's lock meets the first write of a batch, before the
    // batch holds the file: only this business stays as it was, and the next
    // one starts a batch of its own. Any other refusal (a full or damaged
    // file) ends the import, and so does one that took businesses of the
    // batch back with it.
    if (failure != engine::err::FileInUse || m_batchBusinesses > 0)
        throw UnitAbandoned{failure};
}

void TransferImport::commitPending()
{
    if (!m_transaction)
        return;
    const DB db = std::move(m_transaction);
    m_transaction.reset();
    db->commitTrans();
}

void TransferImport::compact()
{
    // A compaction copies the whole file. Where nearly no page is free (the
    // new rows took the place of the deleted ones) it would give back nothing
    // and leave the same data, so it ends at once. The one before the first
    // piece always takes the file: under its lock it reads every page, which
    // finds a damaged file before any business is written into it, also
    // where there is nothing to copy.
    const DB &db = G().Datenbank_Daten;
    if (!std::exchange(m_checked, true)) {
        DB_Kompress(true);
        return;
    }
    try {
        if (db && db->isOpen() && db->freeShare() < engine::kNothingToReclaim)
            return;
    } catch (const engine::EngineError &) {
        // The compaction itself finds and reports what is wrong with the file.
    }
    DB_Kompress();
}

void TransferImport::endSteps()
{
    Declare &g = G();
    const FormHooks &f = g.forms;
    commitPending();
    m_file.close();
    call(f.setProgressValue, 0);
    call(f.setBusyCursor, false);
    call(f.setTab, 0);
    status(QStringLiteral("Auswahl von Gewerbedaten!"));
    if (!g.Msg_Text.isEmpty()) {
        g.Msg_Titel = kTitel;
        g.Msg_Stil = 64;
        Msg_Box();
    }
    call(f.setMenuChecked, kImportMenu, false);
    DB_Load();
}

void TransferImport::errorPath()
{
    Declare &g = G();
    const FormHooks &f = g.forms;
    if (m_transaction) {
        // The businesses of the open transaction are whole; only when they
        // cannot be committed (SQLite may have taken them back already) do
        // they go.
        const DB db = std::move(m_transaction);
        m_transaction.reset();
        if (db->isOpen() && !guarded(QStringLiteral("Upd_1_Start"), [&db] { db->commitTrans(); }))
            guarded(QStringLiteral("Upd_1_Start"), [&db] { db->rollback(); });
    }
    // The journal still holds the pages of what was taken back: on a full
    // disk they would keep it full for every other program.
    try {
        if (g.Datenbank_Daten && g.Datenbank_Daten->isOpen())
            g.Datenbank_Daten->execute(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    } catch (const engine::EngineError &) {
    }
    m_file.close();
    call(f.setBusyCursor, false);
    call(f.setTab, 0);
    status(QStringLiteral("ACHTUNG UPDATE-FEHLER!"));
    // The views may be detached and the database closed where the error
    // struck; reopened, a business can be shown again right away.
    DB_Load();
}

} // namespace

void Upd_1_Start(const QString &datei)
{
    TransferImport run(datei);
    try {
        if (!guarded(QStringLiteral("Upd_1_Start"), [&run] { run.run(); }))
            run.errorPath();
    } catch (const UnitAbandoned &) {
        // A write the file refused ends the import; it is logged where it struck.
        run.errorPath();
    }
}
