#include "AppFixture.h"

#include "app/Frm_Optionen.h"
#include "engine/JetSql.h"
#include "record/Frm_Start.h"
#include "storage/ErrorLog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {

// Most controls of the municipality list only work with the filter on.
Frm_Optionen *openOptionen(Running &app, bool filter = true)
{
    app.fx.answer = platform::vbYes;
    G().Datenbank_Org->execute(QStringLiteral("UPDATE Optionen SET [filter_aktiv] = %1").arg(filter ? -1 : 0));
    app.trigger("menue_extras_optionen");
    platform::MessageService::clearRecorded();
    return app.main->optionenLoaded() && app.main->frmOptionen()->isVisible() ? app.main->frmOptionen() : nullptr;
}

void closeOptionen(Running &app, Frm_Optionen *o)
{
    qobject_cast<QMdiSubWindow *>(o->parentWidget())->close();
    QTRY_VERIFY(!app.main->optionenLoaded());
}

QStringList query(const QString &sql, const QStringList &fields)
{
    QStringList rows;
    auto rs = G().Datenbank_Org->openRecordset(sql);
    for (; rs->recordCount() && !rs->eof(); rs->moveNext()) {
        QStringList values;
        for (const QString &f : fields)
            values << rs->value(f).toString();
        rows << values.join(QLatin1Char('|'));
    }
    return rows;
}

// The stored options record holds exactly one row.
QString option(const char *field)
{
    return query(QStringLiteral("SELECT * FROM Optionen"), {QString::fromLatin1(field)}).join(QLatin1Char('\n'));
}

QStringList storedMarks()
{
    return query(QStringLiteral("SELECT * FROM aktuelleGemeinde ORDER BY [gem-kz]"),
                 {QStringLiteral("gem-kz"), QStringLiteral("gem-name"), QStringLiteral("markiert")});
}

void storeMark(const QString &code, const QString &name, const QString &marked)
{
    G().Datenbank_Org->execute(QStringLiteral("INSERT INTO aktuelleGemeinde ([gem-kz], [gem-name], [markiert]) "
                                              "VALUES (%1, %2, %3)")
                                   .arg(engine::sqlQuote(code), engine::sqlQuote(name), marked));
}

void storeFlensburg()
{
    storeMark(QStringLiteral("01001000"), QStringLiteral("Flensburg"), QStringLiteral("-1"));
}

// While set, the options record refuses every change.
void lockOptions(bool locked)
{
    G().Datenbank_Org->execute(locked ? QStringLiteral("CREATE TRIGGER [gesperrt] BEFORE UPDATE ON [Optionen] "
                                                       "BEGIN SELECT RAISE(ABORT, 'gesperrt'); END")
                                      : QStringLiteral("DROP TRIGGER [gesperrt]"));
}

QStringList lines(const Frm_Optionen *o, bool selectedOnly = false)
{
    QStringList out;
    for (int i = 0; i < o->List1->count(); ++i) {
        if (!selectedOnly || o->List1->item(i)->isSelected())
            out << o->List1->item(i)->text();
    }
    return out;
}

long businessRows()
{
    return G().Datenbank_Daten->openRecordset(QStringLiteral("betrieb"))->recordCount();
}

const QString kInfoTitle = QStringLiteral("PLOXA_4x_Access|64|");

} // namespace

class TestOptionen : public QObject
{
    Q_OBJECT
    QTemporaryDir m_tmp;
    std::unique_ptr<Running> m_app;

private slots:
    void initTestCase() { isolateInstanceLock(m_tmp); }

    // Every test works on the databases the start opened: a start that did
    // not open them fails here instead of crashing the test that uses them.
    void init()
    {
        m_app.reset(); // a failed init may have skipped the cleanup
        m_app = std::make_unique<Running>();
        QVERIFY2(G().Datenbank_Org && G().Datenbank_Org->isOpen() && G().RS_Optionen,
                 "the start did not open the organisation database");
        QVERIFY2(G().Datenbank_Daten && G().Datenbank_Daten->isOpen(), "the start did not open the working database");
    }
    void cleanup() { m_app.reset(); }

    void listsTheStoredMarks()
    {
        Frm_Optionen *o = openOptionen(*m_app);
        QVERIFY(o);
        QCOMPARE(o->List1->count(), 0);
        closeOptionen(*m_app, o);

        for (const auto &[code, name, marked] : {std::tuple{"09162000", "München", "-1"}, {"01001000", "Flensburg", "-1"},
                                                 {"05315000", "Köln", "0"}, {"12345", "Kurz", "NULL"}})
            storeMark(QString::fromLatin1(code), QString::fromUtf8(name), QString::fromLatin1(marked));
        const QStringList expected = {QStringLiteral("01001000  Flensburg"), QStringLiteral("05315000  Köln"),
                                      QStringLiteral("09162000  München"), QStringLiteral("12345     Kurz")};
        for (int round = 0; round < 2; ++round) {
            o = openOptionen(*m_app);
            QVERIFY(o);
            QCOMPARE(lines(o), expected);
            QCOMPARE(lines(o, true), QStringList({expected[0], expected[2]}));
            closeOptionen(*m_app, o);
        }
    }

    void showsFilterAndDataKind_data()
    {
        QTest::addColumn<bool>("filter");
        QTest::addColumn<QString>("datenart");
        QTest::newRow("filter on, business") << true << "BETRIEBSBEZOGEN";
        QTest::newRow("filter off, report") << false << "MELDUNGSBEZOGEN";
    }

    void showsFilterAndDataKind()
    {
        QFETCH(bool, filter);
        QFETCH(QString, datenart);
        G().Datenbank_Org->execute(QStringLiteral("UPDATE Optionen SET [datenart] = '%1'").arg(datenart));
        Frm_Optionen *o = openOptionen(*m_app, filter);
        QVERIFY(o);
        const int current = datenart == QLatin1String("BETRIEBSBEZOGEN") ? 0 : 1;
        for (int i = 0; i < 2; ++i) {
            const size_t k = size_t(i);
            for (QWidget *w : std::initializer_list<QWidget *>{o->Frame1[k], o->Text6[k], o->Command11[k],
                                                               o->Command12[k], o->Command4[k]})
                QCOMPARE(w->isEnabled(), i == current);
        }
        const std::initializer_list<QWidget *> filtered = {o->List1, o->Text7, o->Command7, o->Command9, o->Command8};
        for (bool on : {filter, !filter}) {
            QCOMPARE(o->Check1->isChecked(), on);
            QCOMPARE(G().Gemeindefilter_aktiv, on);
            for (QWidget *w : filtered)
                QCOMPARE(w->isEnabled(), on);
            QVERIFY(o->Command6->isEnabled());
            o->Check1->click();
        }
        // The box alone writes nothing to the options record.
        QCOMPARE(option("filter_aktiv"), filter ? QStringLiteral("true") : QStringLiteral("false"));
    }

    void listsByKeyCode_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("pattern"); // what the rows' codes are checked against
        QTest::newRow("09") << "09" << "09*";
        QTest::newRow("empty: all") << "" << "*";
        QTest::newRow("no match") << "ZZ" << "";
        QTest::newRow("an apostrophe") << "0'9" << "";
    }

    void listsByKeyCode()
    {
        QFETCH(QString, key);
        QFETCH(QString, pattern);
        storeFlensburg();
        Frm_Optionen *o = openOptionen(*m_app);
        QVERIFY(o);
        const QStringList before = lines(o);
        o->Text7->setText(key);
        o->Command8->click();
        QVERIFY(m_app->fx.log().isEmpty());
        if (pattern.isEmpty()) {
            QCOMPARE(m_app->boxes(),
                     QStringList{QStringLiteral("Auswahl Landratsamt-Kennzahl!|64|Kennzahl wurde nicht gefunden!")});
            QCOMPARE(lines(o), before);
            QCOMPARE(lines(o, true), before);
            return;
        }
        QVERIFY(m_app->boxes().isEmpty());
        QStringList expected;
        for (const QString &row : query(QStringLiteral("SELECT * FROM gemeindekennzahlen WHERE [gem-kz] LIKE ")
                                            + engine::sqlQuote(pattern) + QStringLiteral(" ORDER BY [gem-kz]"),
                                        {QStringLiteral("gem-kz"), QStringLiteral("gem-name")}))
            expected << Frm_Optionen::listLine(row.section(QLatin1Char('|'), 0, 0), row.section(QLatin1Char('|'), 1));
        QVERIFY(expected.size() > 1);
        QCOMPARE(lines(o), expected);
        QVERIFY(lines(o, true).isEmpty());
    }

    void listsAllAndSetsMarks()
    {
        storeFlensburg();
        Frm_Optionen *o = openOptionen(*m_app);
        QVERIFY(o);
        m_app->fx.answer = platform::vbNo;
        o->Command6->click();
        o->Command9->click();
        QCOMPARE(lines(o, true), QStringList{QStringLiteral("01001000  Flensburg")});
        QCOMPARE(m_app->boxes().size(), 2);
        QCOMPARE(m_app->boxes()[1],
                 QStringLiteral("löschen aller Markierungen!|36|Wollen Sie wirklich alle Markierungen löschen?\n"));

        m_app->fx.answer = platform::vbYes;
        o->Command6->click();
        const QStringList all = lines(o);
        QCOMPARE(long(all.size()),
                 G().Datenbank_Org->openRecordset(QStringLiteral("gemeindekennzahlen"))->recordCount());
        QStringList sorted = all;
        sorted.sort();
        QCOMPARE(all, sorted);
        QVERIFY(lines(o, true).isEmpty());

        o->Command7->click();
        QCOMPARE(lines(o, true).size(), all.size());
        o->Command9->click();
        QVERIFY(lines(o, true).isEmpty());
    }

    void backStoresTheSelection()
    {
        const QString longName = QStringLiteral("Gemeinde mit einem sehr langen Namen ").repeated(4).trimmed();
        G().Datenbank_Org->execute(QStringLiteral("INSERT INTO gemeindekennzahlen ([gem-kz], [gem-name]) VALUES "
                                                  "('12345678', 'Musterstadt'), ('12345679', %1)")
                                       .arg(engine::sqlQuote(longName)));
        storeFlensburg();
        Frm_Optionen *o = openOptionen(*m_app, false);
        QVERIFY(o);
        o->Check1->click();
        o->Text7->setText(QStringLiteral("1234567"));
        o->Command8->click();
        o->Command7->click();
        G().forms.showRecordView();
        QPointer<Frm_Optionen> guard(o);
        o->Command3_1->click();

        QCOMPARE(storedMarks(), QStringList({QStringLiteral("12345678|Musterstadt|true"),
                                             QStringLiteral("12345679|") + longName + QStringLiteral("|true")}));
        QCOMPARE(option("filter_aktiv"), QStringLiteral("true"));
        QVERIFY(!m_app->main->menuChecked(QStringLiteral("menue_extras_optionen")));
        QTRY_VERIFY(guard.isNull());
        Frm_Start *start = m_app->main->frmStart();
        QVERIFY(start->Image2->isVisible() && !start->SSTab1->isVisible());
        QVERIFY(m_app->fx.log().isEmpty());

        // Nothing selected: the stored set becomes empty.
        o = openOptionen(*m_app);
        QCOMPARE(lines(o, true).size(), 2);
        o->Command9->click();
        o->Command3_1->click();
        QVERIFY(storedMarks().isEmpty());
    }

    void backLogsAnError()
    {
        storeFlensburg();
        Frm_Optionen *o = openOptionen(*m_app);
        QVERIFY(o);
        const QString org = G().Datei_DB_Org;
        G().Datei_DB_Org = m_app->fx.path(QStringLiteral("DB/fehlt.mdb"));
        o->Command3_1->click();
        G().Datei_DB_Org = org;
        QCOMPARE(m_app->fx.loggedLabels(), QStringList{QStringLiteral("Frm_Optionen.Command3_Click")});
        const QString log = QString::fromLatin1(m_app->fx.log());
        QVERIFY(log.contains(QStringLiteral("Fehlerortung:           ClickIndex: \r\n"
                                            "Ortungs-Nummer/BetrNr:  1\r\n")));
        QVERIFY(o->isVisible());
        QVERIFY(m_app->main->menuChecked(QStringLiteral("menue_extras_optionen")));
        QCOMPARE(storedMarks(), QStringList{QStringLiteral("01001000|Flensburg|true")});
    }

    void changesThePath_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("choice"); // "cancel", "missing", "other name", "copy", "long" or "unstored"
        QTest::newRow("No") << int(platform::vbNo) << "copy";
        QTest::newRow("dialog cancelled") << int(platform::vbYes) << "cancel";
        QTest::newRow("file missing") << int(platform::vbYes) << "missing";
        QTest::newRow("typed path to a file of another name") << int(platform::vbYes) << "other name";
        QTest::newRow("another copy") << int(platform::vbYes) << "copy";
        QTest::newRow("path of 300 characters") << int(platform::vbYes) << "long";
        QTest::newRow("options record cannot be stored") << int(platform::vbYes) << "unstored";
    }

    void changesThePath()
    {
        QFETCH(int, answer);
        QFETCH(QString, choice);
        Frm_Optionen *o = openOptionen(*m_app);
        QVERIFY(o);
        QString dir = m_app->fx.path(QStringLiteral("anderswo"));
        if (choice == QLatin1String("long"))
            dir += QLatin1Char('/') + QString(300 - dir.size() - 13, QLatin1Char('x'));
        const QString copy =
            dir + (choice == QLatin1String("other name") ? QStringLiteral("/andere.mdb") : QStringLiteral("/px_4x_b.mdb"));
        if (choice == QLatin1String("long"))
            QCOMPARE(copy.size(), 300);
        QDir().mkpath(QFileInfo(copy).path());
        if (choice == QLatin1String("unstored"))
            lockOptions(true);
        QVERIFY(QFile::copy(m_app->fx.path(QStringLiteral("px_4x_b.mdb")), copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        engine::Database::open(copy)->execute(
            QStringLiteral("INSERT INTO betrieb ([betr-nr], [betr-hist-nr]) VALUES ('4711', '1')"));
        const QString before = G().Datei_DB_offen;
        QList<platform::OpenFileRequest> requests;
        platform::setOpenFileDialog([&](const platform::OpenFileRequest &r) {
            requests << r;
            return choice == QLatin1String("cancel") ? QString()
                   : choice == QLatin1String("missing") ? m_app->fx.path(QStringLiteral("nirgendwo/px_4x_b.mdb"))
                                                        : copy;
        });
        m_app->fx.answer = answer;
        o->Command11[0]->click();

        const QString question = QStringLiteral("Änderung des Datenbankpfades!|36|Stellen sie sicher, daß sich "
                                                "in dem gewünschten Pfad eine entsprechende Datenbank befindet!\n"
                                                "Weiter?\n");
        QStringList expected{question};
        const bool changed =
            answer == platform::vbYes && (choice == QLatin1String("copy") || choice == QLatin1String("long"));
        if (changed) {
            expected << kInfoTitle + QStringLiteral("Der Datenbankpfad wurde geändert!\nNeuer Pfad: ''") + copy
                            + QStringLiteral("''")
                     << QStringLiteral("Änderung des Datenbankpfades!|0|Der Datenbankpfad wurde geändert!");
        } else if (answer == platform::vbYes) {
            expected << QStringLiteral("Änderung des Datenbankpfades!|48|")
                            + (choice == QLatin1String("unstored")
                                   ? QStringLiteral("Der Datenbankpfad konnte nicht geändert werden!")
                                   : QStringLiteral("Die Datenbank wurde unter diesem Pfad nicht gefunden!"));
        }
        QCOMPARE(m_app->boxes(), expected);
        QCOMPARE(requests.size(), answer == platform::vbYes ? 1 : 0);
        for (const auto &r : requests)
            QCOMPARE(QStringLiteral("%1 %2 %3 %4")
                         .arg(r.filter).arg(r.filterIndex).arg(r.fileName, QDir(r.directory).canonicalPath()),
                     QStringLiteral("px_4x_b.mdb|px_4x_b.mdb| 2  ")
                         + QDir(m_app->fx.path(QStringLiteral("DB"))).canonicalPath());
        QCOMPARE(G().Datei_DB_offen, changed ? copy : before);
        QCOMPARE(businessRows(), changed ? 1L : 0L);
        QCOMPARE(option("db_betriebsbezogen"), changed ? copy : before);
        QCOMPARE(o->Text6[0]->text(), changed ? copy : before);
        QCOMPARE(m_app->fx.log().isEmpty(), choice != QLatin1String("unstored"));
        if (choice == QLatin1String("unstored"))
            lockOptions(false);
    }

    void switchesTheDataKind()
    {
        Frm_Optionen *o = openOptionen(*m_app);
        QVERIFY(o);
        m_app->fx.answer = platform::vbNo;
        o->Command12[0]->click();
        QCOMPARE(G().Datenart_aktuell.toString(), QStringLiteral("BETRIEBSBEZOGEN"));
        QVERIFY(o->Frame1[0]->isEnabled());

        m_app->fx.answer = platform::vbYes;
        platform::MessageService::clearRecorded();
        o->Command12[0]->click();
        const QString title = QStringLiteral("Ändern der Daten-Art von ''Betriebsbezogen'' in ''Meldungsbezogen''|");
        const QString question = title + QStringLiteral("36|Wollen Sie wirklich die Daten-Art wechseln?\n");
        QCOMPARE(m_app->boxes(), QStringList({question, kInfoTitle + QStringLiteral("Der Daten-Art wurde geändert!\n"
                                                                                 "Neue Daten-Art: ''MELDUNGSBEZOGEN''")}));
        QVERIFY(!o->Frame1[0]->isEnabled() && !o->Command12[0]->isEnabled());
        QVERIFY(o->Frame1[1]->isEnabled() && o->Command12[1]->isEnabled() && o->Text6[1]->isEnabled());
        QCOMPARE(m_app->main->windowTitle(), QStringLiteral("PLOXA_4x_Access (meldungsbezogene Daten)"));
        QCOMPARE(G().Datei_DB_offen, G().Verz_DB + QStringLiteral("px_4x_m.mdb"));
        QVERIFY(G().RS_betrieb->isOpen());
        QCOMPARE(option("datenart"), QStringLiteral("MELDUNGSBEZOGEN"));

        o->Command12[1]->click();
        QVERIFY(o->Frame1[0]->isEnabled() && !o->Frame1[1]->isEnabled());
        QCOMPARE(m_app->main->windowTitle(), QStringLiteral("PLOXA_4x_Access (betriebsbezogene Daten)"));
        QCOMPARE(G().Datei_DB_offen, G().Verz_DB + QStringLiteral("px_4x_b.mdb"));
        QVERIFY(m_app->fx.log().isEmpty());

        // A kind the options record cannot take is not reported as changed,
        // and the clerk goes on with the kind that the next start opens too.
        lockOptions(true);
        platform::MessageService::clearRecorded();
        o->Command12[0]->click();
        lockOptions(false);
        QCOMPARE(m_app->boxes(),
                 QStringList({question, title + QStringLiteral("48|Die Daten-Art konnte nicht geändert werden!")}));
        QCOMPARE(G().Datenart_aktuell.toString(), QStringLiteral("BETRIEBSBEZOGEN"));
        QCOMPARE(option("datenart"), QStringLiteral("BETRIEBSBEZOGEN"));
        QCOMPARE(G().Datei_DB_offen, G().Verz_DB + QStringLiteral("px_4x_b.mdb"));
        QVERIFY(G().RS_betrieb->isOpen());
        QVERIFY(o->Frame1[0]->isEnabled() && !o->Frame1[1]->isEnabled());
        QCOMPARE(m_app->main->windowTitle(), QStringLiteral("PLOXA_4x_Access (betriebsbezogene Daten)"));
        QVERIFY(!m_app->fx.log().isEmpty());
    }

    void emptiesTheDatabase_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("rowsAfter");
        QTest::addColumn<QString>("lastBox"); // after the question; empty: none
        QTest::newRow("No") << "no" << 1 << "";
        QTest::newRow("Yes") << "yes" << 0 << "Datenbank leeren!|64|Die Datenbank wurde gelöscht und ersetzt!";
        QTest::newRow("template missing") << "no template" << 1 << "Datenbank leeren!|48|Die leere Datenbank-Vorlage";
        QTest::newRow("database missing") << "no database" << 1 << "";
    }

    void emptiesTheDatabase()
    {
        QFETCH(QString, situation);
        QFETCH(int, rowsAfter);
        QFETCH(QString, lastBox);
        G().Datenbank_Daten->execute(
            QStringLiteral("INSERT INTO betrieb ([betr-nr], [betr-hist-nr]) VALUES ('4711', '1')"));
        Frm_Optionen *o = openOptionen(*m_app);
        QVERIFY(o);
        const QString offen = G().Datei_DB_offen;
        if (situation == QLatin1String("no"))
            m_app->fx.answer = platform::vbNo;
        if (situation == QLatin1String("no template"))
            QVERIFY(QFile::remove(m_app->fx.path(QStringLiteral("px_4x_b.mdb"))));
        if (situation == QLatin1String("no database"))
            G().Datei_DB_offen = m_app->fx.path(QStringLiteral("DB/fehlt.mdb"));
        o->Command4[0]->click();
        G().Datei_DB_offen = offen;

        const QStringList boxes = m_app->boxes();
        QVERIFY(boxes.value(0).startsWith(QStringLiteral("Datenbank leeren!|20|Die Ploxa-Access-Datenbank wird "
                                                         "gelöscht und durch eine neue ersetzt.\n")));
        QCOMPARE(boxes.size(), lastBox.isEmpty() ? 1 : 2);
        if (!lastBox.isEmpty())
            QVERIFY2(boxes[1].startsWith(lastBox), qPrintable(boxes[1]));
        QCOMPARE(businessRows(), long(rowsAfter));
        QVERIFY(G().RS_betrieb->isOpen());
        QVERIFY(m_app->fx.log().isEmpty());
        // No half-copied file stays behind.
        QDir db(m_app->fx.path(QStringLiteral("DB")));
        QCOMPARE(db.entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".leer")), QStringList());
    }

    void showsAndDeletesTheLog()
    {
        Frm_Optionen *o = openOptionen(*m_app);
        QVERIFY(o);
        const QString none = QStringLiteral("|64|Es wurde keine Error-Log-Datei gefunden!");
        o->Command2[0]->click();
        o->Command2[1]->click();
        QCOMPARE(m_app->boxes(), QStringList({QStringLiteral("Anzeigen der Error-Log-Datei") + none,
                                           QStringLiteral("Löschen der Error-Log-Datei") + none}));

        Error_Log(QStringLiteral("Test"), QString(), 5, QString(), QString(), 0);
        platform::MessageService::clearRecorded();
        o->Command2[0]->click();
        QCOMPARE(m_app->fx.opened, QStringList{m_app->fx.path(QStringLiteral("Log/ERROR.LOG"))});
        o->Command2[1]->click();
        QCOMPARE(m_app->boxes(),
                 QStringList{QStringLiteral("Löschen der Error-Log-Datei|64|Die Error-Log-Datei wurde gelöscht!")});
        QVERIFY(m_app->fx.log().isEmpty());
        QCOMPARE(G().Fehler_geloggt, qint16(1));

        // The flag is still set, so the next record opens the new file without a banner.
        Error_Log(QStringLiteral("Test"), QString(), 5, QString(), QString(), 0);
        QVERIFY(m_app->fx.log().startsWith(QByteArray(38, '-') + "\r\n"));
    }
};

QTEST_MAIN(TestOptionen)
#include "tst_optionen.moc"
