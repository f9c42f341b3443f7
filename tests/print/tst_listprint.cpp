#include "PrintFixture.h"

#include "print/Print.h"

#include <QLocale>
#include <QTest>

namespace {

const QString kBusinessHeader =
    u"LfdNr - Gemeindenummer - Betriebsnummer - Betriebshistoriennummer - Betriebsname"_s;
const QString kPersonHeader = QStringLiteral(
    "LfdNr - PersonenNr. - BetriebsNr. - BetriebshistorienNr. - Name(jP) - Name(nP) - Betriebsname");
const int kFirstRow = 5; // page header, two empty lines, column header, empty line

void business(const QString &nr, const QVariant &name, const QString &hist = u"1"_s)
{
    PrintFixture::insert("betrieb", {{"gem-kz", "01001000"}, {"betr-nr", nr}, {"betr-hist-nr", hist}, {"b-eintr-name", name}});
    PrintFixture::insert("betrieb_adresse", {{"betr-nr", nr}, {"betr-hist-nr", hist}, {"b-adr-art", "1"}});
}

void person(const char *pers, const char *betrNr, const QVariant &jpName, const QVariant &famName)
{
    PrintFixture::insert("person", {{"pers-nr", pers}, {"p-eintr-name", jpName}, {"fam-name", famName}});
    PrintFixture::insert("beziehung_betrieb_person",
                         {{"bez-betr-nr", betrNr}, {"bez-betr-hist-nr", "1"}, {"bez-pers-nr", pers}});
}

struct ListView
{
    explicit ListView(const QString &query) : data(u"data"_s)
    {
        data.setDatabaseName(G().Datei_DB_offen);
        data.setRecordSource(query);
        data.Refresh();
    }
    RS rs() const { return data.Recordset(); }
    BoundView data;
};

QStringList rowTexts(const PrintFixture &fx) { return fx.paper->texts().mid(kFirstRow); }

} // namespace

class TestListPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }

    void businessListIsNumberedUnderItsHeaders()
    {
        PrintFixture fx;
        business(u"100"_s, u"Alpha"_s);
        business(u"101"_s, u"Beta"_s, u"12"_s);
        business(u"102"_s, QVariant());
        // The whole list in the view's order, then back on the row shown before.
        ListView list(businessListQuery(u"betrieb.[b-eintr-name] DESC"_s));
        list.rs()->setAbsolutePosition(2);
        List_Druck_Liste(ListKind::Betrieb, &list.data);
        QCOMPARE(list.rs()->absolutePosition(), 2L);
        QCOMPARE(fx.dialogs, QStringList{u"Betriebsdaten drucken!"_s});
        QCOMPARE(fx.look(0), u"Betriebsliste     Seite: 1|12 BU"_s);
        QCOMPARE(fx.line(0).font.name, u"Courier New"_s);
        QVERIFY(fx.line(1).text.isEmpty() && fx.line(1).font.size == 12);
        QCOMPARE(fx.paper->texts().mid(2, 3), (QStringList{QString(), kBusinessHeader, QString()}));
        QCOMPARE(fx.line(3).font.size, 8.0);
        QCOMPARE(rowTexts(fx), (QStringList{u"     1 - 01001000 - 101 -   12 - Beta"_s,
                                            u"     2 - 01001000 - 100 -    1 - Alpha"_s,
                                            u"     3 - 01001000 - 102 -    1 - "_s}));
        QCOMPARE(fx.paper->documentsEnded(), 1);
        QVERIFY(fx.logBytes().isEmpty());
    }

    void longRowsContinueAtAThird_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QList<int>>("pieces");
        QTest::newRow("116") << 116 << QList<int>{116};
        QTest::newRow("117") << 117 << QList<int>{116, 1};
        QTest::newRow("116 + 120") << 236 << QList<int>{116, 60, 60};
        QTest::newRow("116 + 130") << 246 << QList<int>{116, 60, 60, 10};
    }
    void longRowsContinueAtAThird()
    {
        QFETCH(int, length);
        QFETCH(QList<int>, pieces);
        PrintFixture fx;
        const QString prefix = u"     1 - 01001000 - 100 -    1 - "_s;
        QString name;
        for (int i = int(prefix.size()); i < length; ++i)
            name += QChar(u'a' + i % 26);
        business(u"100"_s, name);
        ListView list(businessListQuery());
        List_Druck_Liste(ListKind::Betrieb, &list.data);
        const QStringList rows = rowTexts(fx);
        QCOMPARE(rows.size(), pieces.size());
        QCOMPARE(rows.join(QString()), prefix + name);
        for (int i = 0; i < pieces.size(); ++i) {
            QCOMPARE(int(rows[i].size()), pieces[i]);
            QCOMPARE(fx.line(kFirstRow + i).x, i == 0 ? 0.0 : 11000.0 / 3);
        }
    }

    void printerDialogOutcomes_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("thrown");
        QTest::addColumn<QString>("box");
        QTest::newRow("cancelled") << print::CancelError << 0 << QString();
        QTest::newRow("failed") << 5 << 0 << u"Es ist ein Druckerfehler aufgetreten! 5"_s;
        QTest::newRow("raised") << 0 << 3001 << u"Es ist ein Druckerfehler aufgetreten! 3001"_s;
    }
    void printerDialogOutcomes()
    {
        QFETCH(int, answer);
        QFETCH(int, thrown);
        QFETCH(QString, box);
        PrintFixture fx;
        fx.dialogAnswer = answer;
        fx.dialogError = thrown;
        business(u"100"_s, u"Alpha"_s);
        business(u"101"_s, u"Beta"_s);
        ListView list(businessListQuery());
        list.rs()->moveNext();
        List_Druck_Liste(ListKind::Betrieb, &list.data);
        List_Druck_Satz(ListKind::Betrieb, &list.data);
        QCOMPARE(fx.dialogs.size(), 2);
        QVERIFY(fx.paper->lines().empty());
        QCOMPARE(list.rs()->absolutePosition(), 1L);
        QCOMPARE(PrintFixture::boxes(), box.isEmpty() ? QStringList() : QStringList(2, u"Betriebsdaten drucken!|"_s + box + u"|64"_s));
    }

    void laterPagesRepeatOnlyThePageHeader()
    {
        PrintFixture fx;
        for (int i = 0; i < 100; ++i)
            business(QString::number(1000 + i), u"Firma %1"_s.arg(i));
        // A record print may have left the right column behind; list rows still start at the left.
        G().Druck_Spalte = u"vorne"_s, G().Druck_X = 5500;
        ListView list(businessListQuery());
        List_Druck_Liste(ListKind::Betrieb, &list.data);
        int second = 0;
        while (fx.line(second).page < 2)
            ++second;
        QVERIFY(second > kFirstRow);
        QCOMPARE(fx.look(second), u"Betriebsliste     Seite: 2|12 BU"_s);
        QCOMPARE(fx.line(second + 1).text, QString());
        const auto &next = fx.line(second + 2);
        QCOMPARE(next.x, 0.0);
        QCOMPARE(next.text.left(6).trimmed().toInt(), fx.line(second - 1).text.left(6).trimmed().toInt() + 1);
        QCOMPARE(fx.paper->texts().count(kBusinessHeader), 1);
        QVERIFY(fx.paper->texts().last().startsWith(u"   100 - "_s));
    }

    void printerFailureShowsOneBoxAndTheNextRunPrints()
    {
        PrintFixture fx;
        for (int i = 0; i < 5; ++i)
            business(QString::number(100 + i), u"Firma"_s);
        fx.paper->setFailure([](RecordingPrinter::Operation op, const QString &text) {
            return op == RecordingPrinter::Operation::Draw && text.startsWith(u"     2 - "_s);
        });
        ListView list(businessListQuery());
        list.rs()->setAbsolutePosition(3);
        List_Druck_Liste(ListKind::Betrieb, &list.data);
        QCOMPARE(fx.loggedLabels(), QStringList{u"DS_Druck_1"_s});
        QCOMPARE(rowTexts(fx), QStringList{u"     1 - 01001000 - 100 -    1 - Firma"_s});
        QCOMPARE(PrintFixture::boxes(), QStringList{PrintFixture::failureBox});
        QCOMPARE(fx.paper->documentsEnded(), 1);
        QCOMPARE(list.rs()->absolutePosition(), 3L);
        // A device that would not even begin fails one run; the next prints.
        int begins = 0;
        fx.paper->setFailure([&](RecordingPrinter::Operation op, const QString &) {
            return op == RecordingPrinter::Operation::BeginDocument && ++begins == 1;
        });
        List_Druck_Satz(ListKind::Betrieb, &list.data);
        QCOMPARE(PrintFixture::boxes().size(), 2);
        QCOMPARE(fx.paper->documentsStarted(), 1);
        List_Druck_Satz(ListKind::Betrieb, &list.data);
        QCOMPARE(fx.paper->linesOf(2).front().text, u"Betriebsnummer: 103     Seite: 1"_s);
        QCOMPARE(PrintFixture::boxes().size(), 2);
        QVERIFY(G().Druck_OK && fx.paper->documentsEnded() == 2);
    }

    void engineFailureEndsTheListCleanly()
    {
        PrintFixture fx;
        business(u"100"_s, u"Alpha"_s);
        business(u"101"_s, u"Beta"_s);
        // A view without the name column cannot give a row text.
        ListView list(u"SELECT betrieb.[gem-kz], betrieb.[betr-nr] FROM betrieb ORDER BY betrieb.[betr-nr]"_s);
        list.rs()->moveNext();
        List_Druck_Liste(ListKind::Betrieb, &list.data);
        QCOMPARE(fx.loggedLabels(), QStringList{u"Frm_Auswahl_Betr.Command1_Click"_s});
        QVERIFY(fx.paper->documentsEnded() == 1 && !fx.paper->documentOpen());
        QCOMPARE(list.rs()->absolutePosition(), 1L);
        const QStringList boxes = PrintFixture::boxes(u"Betriebsdaten drucken!"_s);
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes.front().startsWith(u"Betriebsdaten drucken!|Die Liste konnte nicht vollständig gedruckt werden!"_s));
    }

    void personListThenTheCurrentRows()
    {
        PrintFixture fx;
        business(u"100"_s, u"Alpha"_s);
        business(u"101"_s, u""_s);
        person("P1", "100", QVariant(), u"Albers"_s);
        person("P2", "101", u"Beta GmbH"_s, QVariant());
        ListView persons(kPersonListQuery);
        List_Druck_Liste(ListKind::Person, &persons.data);
        QCOMPARE(fx.line(0).text, u"Personenliste     Seite: 1"_s);
        QCOMPARE(fx.look(1), u"|12 "_s);
        QCOMPARE(fx.line(3).text, kPersonHeader);
        QCOMPARE(rowTexts(fx), (QStringList{u"     1 - P1 - 100 -    1 -  - Albers - Fa. Alpha"_s,
                                            u"     2 - P2 - 101 -    1 - Beta GmbH -  - Fa. "_s}));
        // The record button prints the row the view stands on.
        ListView businesses(businessListQuery());
        businesses.rs()->moveNext();
        List_Druck_Satz(ListKind::Betrieb, &businesses.data);
        QCOMPARE(fx.paper->linesOf(2).front().text, u"Betriebsnummer: 101     Seite: 1"_s);
        persons.rs()->moveLast();
        List_Druck_Satz(ListKind::Person, &persons.data);
        QCOMPARE(fx.paper->linesOf(3).front().text, u"Personennummer: P2     Seite: 1"_s);
        // No current row: no dialog, nothing printed.
        ListView empty(u"SELECT * FROM person WHERE [pers-nr] = 'keiner'"_s);
        List_Druck_Satz(ListKind::Person, &empty.data);
        List_Druck_Liste(ListKind::Person, &empty.data);
        QCOMPARE(fx.dialogs, (QStringList{u"Personendaten drucken!"_s, u"Betriebsdaten drucken!"_s,
                                          u"Personendaten drucken!"_s}));
        QCOMPARE(fx.paper->documentsStarted(), 3);
        // A record print that fails leaves no hourglass behind.
        G().Datenbank_Daten->execute(u"DROP TABLE betrieb_handwerkskarte"_s);
        List_Druck_Satz(ListKind::Betrieb, &businesses.data);
        QCOMPARE(fx.loggedLabels(), QStringList{u"DS_Druck_1"_s});
        QCOMPARE(fx.pointer.last(), false);
    }
};

QTEST_MAIN(TestListPrint)
#include "tst_listprint.moc"
