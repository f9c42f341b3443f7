#include "../storage/StorageFixture.h"
#include "engine/Database.h"
#include "platform/MessageService.h"
#include "record/BoundTextBox.h"
#include "record/Frm_Start.h"
#include "record/LoadBusiness.h"
#include "record/NavigatorBar.h"
#include "storage/BoundView.h"
#include "storage/Declare.h"

#include <QDir>
#include <QFile>
#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

using Row = QList<QPair<QString, QVariant>>;

static void put(const std::shared_ptr<engine::Database> &db, const char *table, const Row &row)
{
    auto rs = db->openRecordset(QString::fromLatin1(table));
    rs->addNew();
    for (const auto &[name, value] : row)
        rs->setValue(name, value);
    rs->update();
}

// The record window over real database copies: a business with its tables and
// persons, loaded by its keys as the business list will do it.
class TestRecordWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_org, m_work;
    Frm_Start *m_win = nullptr;

    QString caption(const char *view) { return m_win->view(QString::fromLatin1(view))->Caption(); }
    QString box(const char *name) { return m_win->findChild<QLineEdit *>(QString::fromLatin1(name))->text(); }
    void load(const char *betrNr, const char *hist = "1") { DB_Load_DATA("01002000", betrNr, hist); }

    QStringList personKeys()
    {
        QStringList keys;
        auto rs = m_win->DATA_PERS->Recordset();
        for (long i = 0; i < rs->recordCount(); ++i) {
            rs->setAbsolutePosition(i);
            keys << rs->value(0).toString();
        }
        rs->moveFirst();
        return keys;
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::German));
        QVERIFY(m_dir.isValid());
        m_org = m_dir.filePath(QStringLiteral("PX_Org.mdb"));
        m_work = m_dir.filePath(QStringLiteral("px_4x_b.mdb"));
        for (const auto &[from, to] : {std::pair{"PX_Org.mdb", m_org}, std::pair{"px_4x_b.mdb", m_work}}) {
            QVERIFY(QFile::copy(QStringLiteral(PLOXA_PROGRAM_DIR "/") + QString::fromLatin1(from), to));
            QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
        }
        QDir(m_dir.path()).mkdir(QStringLiteral("Log"));

        auto db = engine::Database::open(m_work);
        const QVariant null;
        put(db, "betrieb", {{"gem-kz", "01002000"}, {"betr-nr", "100"}, {"betr-hist-nr", "1"},
                            {"b-eintr-name", "Müller & Söhne GmbH"}, {"b-rechtsform-text", "GmbH"}, {"korr-meld", "5"},
                            {"b-nebenerwerb", "nein"}, {"inhaber-bname", "Jürgen Weiß"},
                            {"b-bemerkung", "Erste Zeile\nzweite Zeile"}});
        put(db, "betrieb", {{"gem-kz", "01002000"}, {"betr-nr", "200"}, {"betr-hist-nr", "1"}, {"korr-meld", "8"}});
        put(db, "betrieb",
            {{"gem-kz", "01002000"}, {"betr-nr", "3'00"}, {"betr-hist-nr", "1"}, {"b-eintr-name", "O'Neill"}});
        put(db, "betrieb", {{"gem-kz", "01002000"}, {"betr-nr", "3"}, {"betr-hist-nr", "1"}});
        for (const char *ort : {"Kiel", "Lübeck"})
            put(db, "betrieb_adresse", {{"betr-nr", "100"}, {"betr-hist-nr", "1"}, {"b-ort", ort}});
        for (const auto &[betr, hist, ort] : {std::tuple{"100", "2", "Husum"}, {"3'00", "1", "Köln"}, {"3", "1", "Bonn"}})
            put(db, "betrieb_adresse", {{"betr-nr", betr}, {"betr-hist-nr", hist}, {"b-ort", ort}});
        const char *activities[][3] = {{"A", "0", "1"}, {"B", "1", "02"}, {"C", "2", "3"}};
        for (const auto &a : activities)
            put(db, "betrieb_taetigkeit", {{"betr-nr", "100"}, {"betr-hist-nr", "1"}, {"tk-schl", a[0]},
                                           {"tk-schwerp", a[1]}, {"tk-ummeldung", a[2]}});
        put(db, "betrieb_erlaubnis", {{"betr-nr", "100"}, {"betr-hist-nr", "1"}, {"b-erl-art", "Gaststätte"}});
        put(db, "betrieb_handwerkskarte", {{"betr-nr", "100"}, {"betr-hist-nr", "1"}, {"b-hwk-status", "aktiv"}});
        for (int i = 1; i <= 5; ++i)
            put(db, "betrieb_meldgrundsonst",
                {{"betr-nr", "100"}, {"betr-hist-nr", "1"}, {"meld-grund-sonst-text", QStringLiteral("Grund %1").arg(i)}});

        put(db, "person", {{"pers-nr", "P1"}, {"p-art", "NP"}, {"fam-name", "Schröder"}});
        put(db, "person", {{"pers-nr", "P2"}, {"p-art", "JP"}, {"p-eintr-name", "Müller Verwaltungs GmbH"}});
        put(db, "person", {{"pers-nr", "P3"}, {"p-art", "NP"}, {"fam-name", "Vertreterin"}});
        put(db, "person", {{"pers-nr", "P'4"}, {"p-art", "NP"}, {"fam-name", "O'Hara"}});
        // The person P1 has an entry date of its own; P3 represents the juridical person P2.
        const QVariant relations[][5] = {{"100", "P1", "01", "", "01.02.2003"},
                                         {"100", "P2", "2", null, null},
                                         {"100", "P3", "3", "P2", null},
                                         {"900", "P1", "4", "", null},
                                         {"3'00", "P'4", "4", null, null}};
        for (const auto &r : relations)
            put(db, "beziehung_betrieb_person",
                {{"bez-betr-nr", r[0]}, {"bez-betr-hist-nr", "1"}, {"bez-pers-nr", r[1]}, {"p-funktion", r[2]},
                 {"pers-nr-jp", r[3]}, {"p-eintr-datum", r[4]}});
        for (const char *staat : {"deutsch", "österreichisch"})
            put(db, "person_staatsang", {{"pers-nr", "P1"}, {"staat-text", staat}});
        put(db, "person_staatsang", {{"pers-nr", "P'4"}, {"staat-text", "irisch"}});
        for (const char *betr : {"100", "900"}) {
            put(db, "person_erlaubnis", {{"pers-nr", "P1"}, {"betr-nr", betr}});
            put(db, "person_handwerkskarte", {{"pers-nr", "P1"}, {"betr-nr", betr}});
        }
        put(db, "person_handwerkskarte", {{"pers-nr", "P1"}, {"betr-nr", "900"}});
    }

    void init()
    {
        G().reset();
        G().Verz_Log = m_dir.path() + QStringLiteral("/Log/");
        G().Datei_DB_Org = m_org;
        G().Datei_DB_offen = m_work;
        // Bound views reach the organisation database by its path only while the
        // program holds it open, as the start-up does.
        G().Datenbank_Org = engine::Database::open(m_org, true, false, QStringLiteral("; pwd=wexor"));
        m_win = new Frm_Start;
        m_win->installHooks();
        for (const StartView &b : kStartViews) {
            BoundView *v = G().forms.startView(QString::fromLatin1(b.name));
            QVERIFY(v);
            v->setDatabaseName(b.organisation ? m_org : m_work);
            v->setRecordSource(QString::fromLatin1(b.source));
        }
        m_win->DATA_Bez_Betr_Pers->Refresh();
        m_win->DATA_PERSStaat->Refresh();
    }

    void cleanup()
    {
        delete m_win;
        m_win = nullptr;
        G().reset();
    }

    void showsBusinessOnAllTabs()
    {
        load("100");
        QCOMPARE(G().Fehler_geloggt, qint16(0));
        QCOMPARE(box("DATA_BETR.b-eintr-name"), QStringLiteral("Müller & Söhne GmbH"));
        QCOMPARE(box("Text_136"), QStringLiteral("Kiel, Landeshauptstadt"));
        QCOMPARE(box("Text_Korrekturmeldung"), QStringLiteral("Adressänderung"));
        QCOMPARE(box("DATA_BETR.inhaber-bname"), QStringLiteral("Jürgen Weiß"));
        QCOMPARE(m_win->findChild<QTextEdit *>(QStringLiteral("DATA_BETR.b-bemerkung"))->toPlainText(),
                 QStringLiteral("Erste Zeile\nzweite Zeile"));
        // Another history number of the same business is not this business.
        QCOMPARE(caption("DATA_ADR"), QStringLiteral("Satz 1 von 2"));
        QCOMPARE(box("DATA_ADR.b-ort"), QStringLiteral("Kiel"));
        QCOMPARE(caption("DATA_TAET"), QStringLiteral("Satz 1 von 3"));
        QCOMPARE(caption("DATA_Meld"), QStringLiteral("Satz 1 von 5"));
        QCOMPARE(m_win->navigator(QStringLiteral("DATA_Meld"))->captionText(), QStringLiteral("Satz 1 von 5"));
        m_win->navigator(QStringLiteral("DATA_Meld"))->nextButton()->click();
        QCOMPARE(caption("DATA_Meld"), QStringLiteral("Satz 2 von 5"));
        QCOMPARE(box("DATA_Meld.meld-grund-sonst-text"), QStringLiteral("Grund 2"));

        // The representative P3 of the juridical person P2 is not a person of the business.
        QCOMPARE(personKeys(), QStringList({QStringLiteral("P1"), QStringLiteral("P2")}));
        QCOMPARE(caption("DATA_PERS"), QStringLiteral("Satz 1 von 2"));
        QCOMPARE(box("TextPers_8"), QStringLiteral("Einzelgewerbetreibender"));
        QCOMPARE(box("DATA_Bez_Betr_Pers.p-eintr-datum"), QStringLiteral("01.02.2003"));
        // Nationalities belong to the person, permits and craft cards to the business.
        QCOMPARE(caption("DATA_PERSStaat"), QStringLiteral("Satz 1 von 2"));
        for (const char *v : {"DATA_BETRErl", "DATA_BETRHwk", "DATA_PERSErl", "DATA_PERSHwk"})
            QCOMPARE(caption(v), QStringLiteral("Satz 1 von 1"));
    }

    void businessWithoutPersons()
    {
        load("100");
        load("200");
        QCOMPARE(box("DATA_BETR.betr-nr"), QStringLiteral("200"));
        QCOMPARE(box("Text_Korrekturmeldung"), QString());
        for (const char *v : {"DATA_ADR", "DATA_TAET", "DATA_BETRErl", "DATA_BETRHwk", "DATA_Meld", "DATA_PERS",
                              "DATA_PERSStaat", "DATA_PERSErl", "DATA_PERSHwk"})
            QCOMPARE(caption(v), QStringLiteral("0"));
        QCOMPARE(box("TextPers_8"), QString());
        QCOMPARE(box("Text_Schwerpunkt"), QString());
        QCOMPARE(box("DATA_ADR.b-ort"), QString());
        QCOMPARE(box("DATA_PERS.fam-name"), QString());
    }

    void personChangeFollowsNavigator()
    {
        load("100");
        m_win->SSTab1->setCurrentIndex(3);
        NavigatorBar *nav = m_win->navigator(QStringLiteral("DATA_PERS"));
        QVERIFY(nav->isEnabled());
        nav->nextButton()->click();
        QCOMPARE(caption("DATA_PERS"), QStringLiteral("Satz 2 von 2"));
        QCOMPARE(box("DATA_PERS.p-eintr-name"), QStringLiteral("Müller Verwaltungs GmbH"));
        QCOMPARE(box("TextPers_8"), QStringLiteral("Geschäftsführender Gesellschafter"));
        QCOMPARE(caption("DATA_PERSStaat"), QStringLiteral("0"));
        QCOMPARE(caption("DATA_PERSErl"), QStringLiteral("0"));
        nav->firstButton()->click();
        QCOMPARE(box("DATA_PERS.fam-name"), QStringLiteral("Schröder"));
        QCOMPARE(caption("DATA_PERSStaat"), QStringLiteral("Satz 1 von 2"));
    }

    void activityTextsFollowRows()
    {
        load("100");
        m_win->showRecordView();
        m_win->SSTab1->setCurrentIndex(2);
        m_win->show();
        const QHash<QString, QPair<QString, QString>> expected = {
            {QStringLiteral("A"), {QStringLiteral("nein"), QStringLiteral("neue Tätigkeit")}},
            {QStringLiteral("B"), {QStringLiteral("ja"), QStringLiteral("Tätigkeit wird weiterhin ausgeübt")}},
            {QStringLiteral("C"), {QString(), QString()}},
        };
        QSet<QString> seen;
        for (int i = 0; i < 3; ++i) {
            if (i > 0)
                m_win->DATA_TAET->navigateNext();
            const QString key = box("DATA_TAET.tk-schl");
            QVERIFY2(expected.contains(key), qPrintable(key));
            seen << key;
            QCOMPARE(box("Text_Schwerpunkt"), expected[key].first);
            QCOMPARE(box("Text_Ummeldung"), expected[key].second);
            // Read from their beginning; a text wider than its box is whole in the tip.
            for (const BoundTextBox *t : {m_win->Text_Schwerpunkt, m_win->Text_Ummeldung}) {
                QCOMPARE(t->cursorPosition(), 0);
                const bool cut = t->fontMetrics().horizontalAdvance(t->text()) > t->width();
                QCOMPARE(t->toolTip(), cut ? t->text() : QString());
            }
            QVERIFY(m_win->Text_Schwerpunkt->toolTip().isEmpty());
            QCOMPARE(caption("DATA_TAET"), QStringLiteral("Satz %1 von 3").arg(i + 1));
        }
        QCOMPARE(seen.size(), 3);
    }

    void missingBusinessLeavesOtherViews()
    {
        load("100");
        const QString adrSource = m_win->DATA_ADR->RecordSource();
        load("999");
        QCOMPARE(G().Fehler_geloggt, qint16(0));
        QVERIFY(!hasRows(m_win->DATA_BETR));
        QCOMPARE(box("DATA_BETR.b-eintr-name"), QString());
        QCOMPARE(m_win->DATA_ADR->RecordSource(), adrSource);
        QCOMPARE(caption("DATA_ADR"), QStringLiteral("Satz 1 von 2"));
        QCOMPARE(caption("DATA_PERS"), QStringLiteral("Satz 1 von 2"));
        QCOMPARE(box("Text_136"), QStringLiteral("Kiel, Landeshauptstadt"));
    }

    void apostrophesInKeys()
    {
        load("3'00");
        QCOMPARE(G().Fehler_geloggt, qint16(0));
        QCOMPARE(box("DATA_BETR.b-eintr-name"), QStringLiteral("O'Neill"));
        QCOMPARE(caption("DATA_ADR"), QStringLiteral("Satz 1 von 1"));
        QCOMPARE(box("DATA_ADR.b-ort"), QStringLiteral("Köln"));
        QCOMPARE(box("DATA_PERS.fam-name"), QStringLiteral("O'Hara"));
        QCOMPARE(box("TextPers_8"), QStringLiteral("Inhaber"));
        QCOMPARE(caption("DATA_PERSStaat"), QStringLiteral("Satz 1 von 1"));
    }

    void failureIsLoggedWithBusinessNumber()
    {
        // The business loads from its bound file, then the working path is gone.
        G().Datei_DB_offen = m_dir.filePath(QStringLiteral("fehlt.mdb"));
        load("100");
        QCOMPARE(G().Fehler_geloggt, qint16(1));
        QCOMPARE(box("DATA_BETR.betr-nr"), QStringLiteral("100"));
        QFile log(G().Verz_Log + QStringLiteral("ERROR.LOG"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromLatin1(log.readAll());
        QCOMPARE(text.count(QStringLiteral("Fehler in Sub/Function: ")), 1);
        QVERIFY(text.contains(QStringLiteral("Fehler in Sub/Function: DB_Load_DATA\r\n")));
        QVERIFY(text.contains(QStringLiteral("Fehlerortung:           BetriebsNummer: \r\n")));
        QVERIFY(text.contains(QStringLiteral("Ortungs-Nummer/BetrNr:  100\r\n")));
    }

    void tabSwitch_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("header");
        QTest::addColumn<bool>("personNavigator");
        QTest::newRow("0") << 0 << QStringLiteral("Anzeige: Meldedaten") << false;
        QTest::newRow("1") << 1 << QStringLiteral("Anzeige: Adressen") << false;
        QTest::newRow("2") << 2 << QStringLiteral("Anzeige: Tätigkeiten/Handwerkskarten") << false;
        QTest::newRow("3") << 3 << QStringLiteral("Anzeige: Personendaten (nat. und jur. Person)") << true;
        QTest::newRow("4") << 4 << QStringLiteral("Anzeige: Adressen/Aufenhaltserl./Führungsz.") << true;
        QTest::newRow("5") << 5 << QStringLiteral("Anzeige: Handwerkskarten/Erlaubnisse") << true;
    }

    void tabSwitch()
    {
        QFETCH(int, tab);
        QFETCH(QString, header);
        QFETCH(bool, personNavigator);
        m_win->showRecordView();
        m_win->show();
        m_win->Command3->setVisible(true);
        // Coming from the other group of tabs, so the switch has to change something.
        G().forms.setTab(personNavigator ? 1 : 4);
        G().forms.setTab(tab);
        QCOMPARE(m_win->SSTab1->currentIndex(), tab);
        QCOMPARE(G().forms.statusText(), header);
        QCOMPARE(m_win->Frame_Anzahl->isVisible(), personNavigator);
        QCOMPARE(m_win->Command3->isVisible(), personNavigator);
        QCOMPARE(m_win->DATA_PERS->Enabled(), personNavigator);
        QCOMPARE(m_win->navigator(QStringLiteral("DATA_PERS"))->isEnabled(), personNavigator);
    }

    void displayStates()
    {
        m_win->show();
        G().forms.setTab(3);
        // The start picture hides the person navigator too (the rest of the
        // picture is checked at the program's start in tst_mainwindow).
        G().forms.showStartPicture();
        QVERIFY(m_win->Image2->isVisible() && !m_win->SSTab1->isVisible() && !m_win->Frame_Anzahl->isVisible());
        // Back on the person tab it was left on: its navigator comes back with it.
        G().forms.showRecordView();
        QVERIFY(!m_win->Image2->isVisible());
        QVERIFY(m_win->SSTab1->isVisible() && m_win->Frame_Ueberschrift->isVisible());
        QVERIFY(m_win->Frame_Anzahl->isVisible());
    }

    void keyCapture_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("code");
        for (const char *t : {"Frm_Start", "Text_136", "DATA_PERS.fam-name", "DATA_BETR.b-bemerkung", "SSTab1", "Command3"})
            QTest::newRow(t) << QString::fromLatin1(t) << int(Qt::Key_Escape) << 27;
        QTest::newRow("letter") << QStringLiteral("DATA_ADR.b-ort") << int(Qt::Key_A) << int('a');
        QTest::newRow("navigator button") << QStringLiteral("DATA_TAET_Navigator") << int(Qt::Key_Escape) << 27;
    }

    void keyCapture()
    {
        QFETCH(QString, target);
        QFETCH(int, key);
        QFETCH(int, code);
        m_win->showRecordView();
        m_win->show();
        QWidget *w = target == m_win->objectName() ? m_win : m_win->findChild<QWidget *>(target);
        QVERIFY(w);
        if (auto *nav = qobject_cast<NavigatorBar *>(w))
            w = nav->lastButton();
        if (auto *edit = qobject_cast<QTextEdit *>(w))
            w = edit->viewport();
        G().Letzte_Taste = 0;
        QTest::keyClick(w, Qt::Key(key));
        QCOMPARE(int(G().Letzte_Taste), code);
    }

    void statusSurface()
    {
        FormHooks &f = G().forms;
        f.setStatusText(QStringLiteral("Datensatz 3 wird übertragen"));
        QCOMPARE(m_win->Label2->text(), QStringLiteral("Datensatz 3 wird übertragen"));
        f.setProgressMax(40);
        f.setProgressValue(12);
        QCOMPARE(f.progressMax(), 40);
        QCOMPARE(f.progressValue(), 12);
        f.setProgressValue(41);
        QCOMPARE(f.progressValue(), 40);
        f.setBusyCursor(true);
        QCOMPARE(m_win->cursor().shape(), Qt::WaitCursor);
        f.setBusyCursor(false);
        QCOMPARE(m_win->cursor().shape(), Qt::ArrowCursor);
    }

    void dropOnActionFrameCentres()
    {
        m_win->show();
        m_win->move(0, 0);
        QMimeData data;
        data.setText(QStringLiteral("x"));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_win->Frame1, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_win->Frame1, &drop);
        const QRect screen = m_win->screen()->geometry();
        QCOMPARE(m_win->pos(), QPoint((screen.width() - m_win->width()) / 2, (screen.height() - m_win->height()) / 2));
    }

    void recordViewIsDrawn()
    {
        load("100");
        m_win->showRecordView();
        m_win->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_win));
        QCOMPARE(m_win->windowTitle(), QStringLiteral("PLOXA_3x_Access"));
        QStringList captions;
        for (int i = 0; i < m_win->SSTab1->count(); ++i)
            captions << m_win->SSTab1->tabText(i);
        QCOMPARE(captions.join(u'|'), QStringLiteral("Betrieb (Meldedaten)|Betr. (Adressen)|Betr. (Tät/Hwk/Erl)|"
                                                     "Personen|Pers. (Adr/AE/FZ)|Pers. (Hwk/Erl)"));
        const QImage image = m_win->grab().toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3)
                colours.insert(image.pixel(x, y));
        QVERIFY2(colours.size() > 20, "the record view looks blank");
        // The display boxes are grey.
        QVERIFY(colours.contains(qRgb(192, 192, 192)));
    }

    // With a representative shown ("zurück" visible) the bottom strip still
    // shows the person counter and the action text whole, and nothing in it
    // lies over anything else.
    void stripWithRepresentative_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("action");
        QTest::newRow("representative") << 3 << QStringLiteral("Anzeige: Personendaten (Vertreter einer jur. Person)");
        QTest::newRow("persons") << 3 << QStringLiteral("Anzeige: Personendaten (nat. und jur. Person)");
        QTest::newRow("tab 4") << 4 << QStringLiteral("Anzeige: Adressen/Aufenhaltserl./Führungsz.");
        QTest::newRow("tab 5") << 5 << QStringLiteral("Anzeige: Handwerkskarten/Erlaubnisse");
    }
    void stripWithRepresentative()
    {
        QFETCH(int, tab);
        QFETCH(QString, action);
        load("100");
        m_win->showRecordView();
        m_win->show();
        G().forms.setTab(tab);
        m_win->Command3->setVisible(true);
        G().forms.setStatusText(action);
        m_win->DATA_PERS->setCaption(QStringLiteral("Satz 99 von 99"));
        QVERIFY(QTest::qWaitForWindowExposed(m_win));
        QCoreApplication::processEvents();

        const auto place = [this](const QWidget *w) { return QRect(w->mapTo(m_win, QPoint(0, 0)), w->size()); };
        const auto name = [](const QWidget *w) {
            const auto *b = qobject_cast<const QAbstractButton *>(w);
            return b ? b->text() : w->objectName();
        };
        NavigatorBar *bar = m_win->navigator(QStringLiteral("DATA_PERS"));
        auto *caption = bar->findChild<QLabel *>(QStringLiteral("caption"));
        const QString counts = QStringLiteral("caption %1 wide, needs %2")
                                   .arg(caption->contentsRect().width())
                                   .arg(caption->fontMetrics().horizontalAdvance(caption->text()));
        QVERIFY2(caption->contentsRect().width() >= caption->fontMetrics().horizontalAdvance(caption->text()),
                 qPrintable(counts));
        QList<QWidget *> parts{caption, m_win->Command3};
        for (QAbstractButton *b : bar->findChildren<QAbstractButton *>())
            parts << b;
        for (QLabel *l : m_win->Frame_Anzahl->findChildren<QLabel *>())
            parts << l;
        for (QWidget *a : parts) {
            QVERIFY2(a->isVisible() && m_win->rect().contains(place(a)), qPrintable(name(a)));
            for (QWidget *b : parts) {
                if (a != b && !a->isAncestorOf(b) && !b->isAncestorOf(a))
                    QVERIFY2(!place(a).intersects(place(b)), qPrintable(name(a) + u' ' + name(b)));
            }
        }
        QVERIFY(m_win->rect().contains(place(m_win->Frame1)) && !place(m_win->Frame1).intersects(place(m_win->Frame_Anzahl)));

        // The action text within its label's room, on at most the lines the label has.
        QLabel *label = m_win->Label2;
        const QRect room = label->contentsRect();
        const QRect need = label->fontMetrics().boundingRect(room.adjusted(0, 0, 0, 1000),
                                                             label->wordWrap() ? Qt::TextWordWrap : 0, action);
        QVERIFY2(need.width() <= room.width() && need.height() <= room.height(),
                 qPrintable(QStringLiteral("action text needs %1x%2, has %3x%4")
                                .arg(need.width()).arg(need.height()).arg(room.width()).arg(room.height())));
        QCOMPARE(label->toolTip(), QString());
        // A text longer than the label can show is there whole as its tooltip.
        const QString longer = action + QStringLiteral(" - ") + action + QStringLiteral(" - ") + action;
        G().forms.setStatusText(longer);
        QCOMPARE(label->toolTip(), longer);
    }

    // Every control of every tab lies inside the window and has at least the
    // room it needs for its text.
    void nothingClipped()
    {
        m_win->showRecordView();
        m_win->show();
        const QRect area = m_win->rect();
        for (int tab = 0; tab < 6; ++tab) {
            m_win->SSTab1->setCurrentIndex(tab);
            QCoreApplication::processEvents();
            for (QWidget *w : m_win->findChildren<QWidget *>()) {
                if (!w->isVisible() || w == m_win->Image2 || w->parentWidget() == nullptr)
                    continue;
                if (!qobject_cast<QLabel *>(w) && !qobject_cast<QLineEdit *>(w) && !qobject_cast<QTextEdit *>(w) &&
                    !qobject_cast<QAbstractButton *>(w) && !qobject_cast<QGroupBox *>(w))
                    continue;
                const QString where = QStringLiteral("tab %1: %2").arg(tab).arg(w->objectName());
                const QRect r(w->mapTo(m_win, QPoint(0, 0)), w->size());
                QVERIFY2(area.contains(r), qPrintable(where + QStringLiteral(" outside the window")));
                QVERIFY2(w->parentWidget()->rect().contains(w->geometry()),
                         qPrintable(where + QStringLiteral(" outside its frame")));
                const QSize need = w->minimumSizeHint();
                QVERIFY2(w->height() >= need.height() && w->width() >= need.width(),
                         qPrintable(where + QStringLiteral(" squeezed")));
            }
        }
        for (int tab = 0; tab < 6; ++tab) {
            m_win->SSTab1->setCurrentIndex(tab);
            QVERIFY(m_win->Label2->width() >= m_win->Label2->fontMetrics().horizontalAdvance(m_win->Label2->text()));
        }
    }
};

QTEST_MAIN(TestRecordWindow)
#include "tst_recordwindow.moc"
