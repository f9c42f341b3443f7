#include "StorageFixture.h"

#include "engine/EngineError.h"
#include "storage/ErrorLog.h"

#include <QRegularExpression>
#include <QTest>

class TestErrorLog : public QObject
{
    Q_OBJECT

    static QByteArray record(const QByteArray &label, const QByteArray &source, const QByteArray &number,
                             const QByteArray &text, const QByteArray &caption, const QByteArray &value)
    {
        return QByteArray(38, '-') + "\r\n" + "Fehler in Sub/Function: " + label + "\r\n"
               + "Fehler-Source:          " + source + "\r\n" + "Fehlernummer:           " + number + "\r\n"
               + "Fehlertext:             " + text + "\r\n" + "Fehlerortung:           " + caption + "\r\n"
               + "Ortungs-Nummer/BetrNr:  " + value + "\r\n";
    }

    // Checks the three banner lines at the start of bytes and returns what follows.
    static QByteArray afterBanner(const QByteArray &bytes)
    {
        const QByteArray head = QByteArray(88, '_') + "\r\n" + QByteArray(88, '#') + "\r\n";
        if (!bytes.startsWith(head))
            return "no banner";
        const int end = bytes.indexOf("\r\n", head.size());
        const QString line = QString::fromLatin1(bytes.mid(head.size(), end - head.size()));
        static const QRegularExpression dated(
            QStringLiteral("^\\[Error-Log vom      \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\\]$"));
        if (!dated.match(line).hasMatch())
            return "bad date line: " + line.toLatin1();
        return bytes.mid(end + 2);
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }

    void recordsShareOneBannerPerBatch()
    {
        StorageFixture fx;
        Error_Log(QStringLiteral("A_Start"), QStringLiteral("DAO.Workspace"), 3024,
                  engine::standardErrorText(3024), QStringLiteral("Fehlerortung: "), 0);
        QCOMPARE(G().Fehler_geloggt, qint16(1));
        Error_Log(QStringLiteral("Upd_5_Felder"), QStringLiteral("Dao.Field"), 3163,
                  QStringLiteral("Feld zu klein für Datenmenge, Inhalt wurde gekürzt!"),
                  QStringLiteral("b-ort = Köln"), QVariant());
        const QByteArray expected =
            record("A_Start", "DAO.Workspace", "3024", "Datei nicht gefunden.", "Fehlerortung: ", "0")
            + record("Upd_5_Felder", "Dao.Field", "3163",
                     "Feld zu klein f\xfc" "r Datenmenge, Inhalt wurde gek\xfc" "rzt!", "b-ort = K\xf6" "ln", "");
        QCOMPARE(afterBanner(fx.logBytes()), expected);

        // Once the flag is cleared (exit prompt, end of an import) a new batch begins.
        G().Fehler_geloggt = 0;
        Error_Log(QStringLiteral("DB_Load"), QStringLiteral("DAO.Workspace"), 3044, engine::standardErrorText(3044),
                  QStringLiteral("Fehlerortung: "), 5);
        const QByteArray all = fx.logBytes();
        QVERIFY(all.startsWith(QByteArray(88, '_')));
        const QByteArray second = all.mid(all.indexOf(QByteArray(88, '_'), 10));
        QCOMPARE(afterBanner(second),
                 record("DB_Load", "DAO.Workspace", "3044", "Ung\xfc" "ltiger Pfad.", "Fehlerortung: ", "5"));
    }

    void existingLogIsNeverTruncatedAndAMissingOneIsNoError()
    {
        StorageFixture fx;
        QVERIFY(StorageFixture::writeFile(G().Verz_Log + QStringLiteral("ERROR.LOG"), "alter Inhalt\r\n"));
        Error_Log(QStringLiteral("A_Start"), QStringLiteral("x"), 5, QStringLiteral("y"), QStringLiteral("z"), 1);
        const QByteArray bytes = fx.logBytes();
        QVERIFY(bytes.startsWith("alter Inhalt\r\n" + QByteArray(88, '_')));
        QCOMPARE(bytes.count(QByteArray(38, '-') + "\r\n"), 1);

        // An unwritable log does not stop the caller; nothing counts as logged.
        G().Fehler_geloggt = 0;
        G().Verz_Log = fx.dir.path() + QStringLiteral("/gone/");
        Error_Log(QStringLiteral("A_Start"), QStringLiteral("x"), 5, QStringLiteral("y"), QStringLiteral("z"), 1);
        QCOMPARE(G().Fehler_geloggt, qint16(0));
        QVERIFY(!QFile::exists(G().Verz_Log + QStringLiteral("ERROR.LOG")));
    }

    void handlerLogsStandardTextAndCurrentStep()
    {
        StorageFixture fx;
        bool after = false;
        const bool ok = guarded(QStringLiteral("DB_Load"), [&] {
            G().Ortungs_Nr = 3;
            throw engine::EngineError(3024, QStringLiteral("DAO.Workspace"), QStringLiteral("own description"));
            after = true;
        });
        QVERIFY(!ok);
        QVERIFY(!after);
        QCOMPARE(afterBanner(fx.logBytes()),
                 record("DB_Load", "DAO.Workspace", "3024", "Datei nicht gefunden.", "Fehlerortung: ", "3"));

        // A site with its own caption and value, evaluated when the error happens.
        G().Fehler_geloggt = 0;
        QFile::remove(G().Verz_Log + QStringLiteral("ERROR.LOG"));
        QString key = QStringLiteral("4711");
        const ErrorSite site{QStringLiteral("DB_Load_DATA"), QStringLiteral("BetriebsNummer: "),
                             [&] { return QVariant(key); }};
        guarded(site, [&] {
            key = QStringLiteral("0815");
            throw std::runtime_error("boom");
        });
        QCOMPARE(afterBanner(fx.logBytes()),
                 record("DB_Load_DATA", "PLOXA_4x_Access", "5",
                        "Unzul\xe4ssiger Prozeduraufruf oder ung\xfcltiges Argument", "BetriebsNummer: ", "0815"));
    }

    void exitPrompt_data()
    {
        QTest::addColumn<bool>("logged");
        QTest::addColumn<bool>("logWritable");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("boxes");
        QTest::addColumn<bool>("viewerStarted");
        QTest::newRow("nothing logged") << false << true << int(platform::vbYes) << 0 << false;
        QTest::newRow("logged, no") << true << true << int(platform::vbNo) << 1 << false;
        QTest::newRow("logged, yes") << true << true << int(platform::vbYes) << 1 << true;
        // No offer of a log that does not hold the record.
        QTest::newRow("log not written") << true << false << int(platform::vbYes) << 0 << false;
    }

    void exitPrompt()
    {
        QFETCH(bool, logged);
        QFETCH(bool, logWritable);
        QFETCH(int, answer);
        QFETCH(int, boxes);
        QFETCH(bool, viewerStarted);
        StorageFixture fx;
        platform::MessageService::setScript([answer](const platform::MessageRecord &) { return answer; });
        QStringList opened;
        platform::setViewerHook([&](const QString &path) { opened << path; });
        if (!logWritable)
            G().Verz_Log = fx.dir.path() + QStringLiteral("/gone/");
        if (logged)
            Error_Log(QStringLiteral("A_Start"), QStringLiteral("x"), 5, QStringLiteral("y"), QStringLiteral("z"), 1);

        // Both closing events of the record window ask; the clerk sees one question.
        Error_Log_Anzeigen();
        Error_Log_Anzeigen();
        platform::setViewerHook(nullptr);

        QCOMPARE(fx.boxes(), QStringList(boxes, QStringLiteral("Achtung!|36|Update-Fehler!\nWollen Sie die Log-Datei ('")
                                                    + G().Verz_Log + QStringLiteral("ERROR.LOG') ansehen?")));
        QCOMPARE(opened.size(), viewerStarted ? 1 : 0);
        if (viewerStarted)
            QCOMPARE(QFileInfo(opened[0]).canonicalFilePath(),
                     QFileInfo(G().Verz_Log + QStringLiteral("ERROR.LOG")).canonicalFilePath());
        QCOMPARE(G().Fehler_geloggt, qint16(0));
    }
};

QTEST_GUILESS_MAIN(TestErrorLog)
#include "tst_errorlog.moc"
