#include "PrintFixture.h"

#include "print/Print.h"

#include <QLocale>
#include <QTest>

namespace {

const QString kBusinessHeader =
    QStringLiteral("LfdNr - Gemeindenummer - Betriebsnummer - Betriebshistoriennummer - Betriebsname");
const QString kPersonHeader = QStringLiteral(
    "LfdNr - PersonenNr. - BetriebsNr. - BetriebshistorienNr. - Name(jP) - Name(nP) - Betriebsname");
const int kFirstRow = 5; // page header, two empty lines, column header, empty line

QString businessQuery(const QString &order = QStringLiteral("betrieb.[betr-nr]"))
{
    return QStringLiteral("SELECT betrieb.*, betrieb_adresse.* FROM betrieb INNER JOIN betrieb_adresse ON "
                          "(betrieb.[betr-hist-nr] = betrieb_adresse.[betr-hist-nr]) AND (betrieb.[betr-nr] = "
                          "betrieb_adresse.[betr-nr]) WHERE betrieb_adresse.[b-adr-art] = '1' ORDER BY ")
           + order;
}

const QString kPersonQuery = QStringLiteral(
    "SELECT person.[pers-nr], person.[p-eintr-name], person.[fam-name], betrieb.[betr-nr], betrieb.[betr-hist-nr], "
    "betrieb.[gem-kz], betrieb.[b-eintr-name],beziehung_betrieb_person.[pers-nr-jp]  FROM (betrieb  INNER JOIN "
    "beziehung_betrieb_person  ON (beziehung_betrieb_person.[bez-betr-hist-nr] = betrieb.[betr-hist-nr])  AND "
    "(betrieb.[betr-nr] = beziehung_betrieb_person.[bez-betr-nr])) INNER JOIN person ON "
    "beziehung_betrieb_person.[bez-pers-nr] = person.[pers-nr]  ORDER BY person.[pers-nr];");

void business(const QString &nr, const QVariant &name, const QString &hist = QStringLiteral("1"))
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
    explicit ListView(const QString &query) : data(QStringLiteral("data"))
    {
        data.setDatabaseName(G().Datei_DB_offen);
        data.setRecordSource(query);
        data.Refresh();
    }
    RS rs() const { return data.Recordset(); }
    BoundView data;
};

QStringList rowTexts(const PrintFixture &fx)
{
    return fx.paper->texts().mid(kFirstRow);
}

} // namespace

class TestListPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }

    void businessListIsNumberedUnderItsHeaders()
    {
        PrintFixture fx;
        business(QStringLiteral("100"), QStringLiteral("Alpha"));
        business(QStringLiteral("101"), QStringLiteral("Beta"), QStringLiteral("12"));
        business(QStringLiteral("102"), QVariant());
        ListView list(businessQuery());
        List_Druck_Liste(ListKind::Betrieb, &list.data);

        QCOMPARE(fx.dialogs, 1);
        const auto &head = fx.line(0);
        QCOMPARE(head.text, QStringLiteral("Betriebsliste     Seite: 1"));
        QVERIFY(head.font.bold && head.font.underline && head.font.size == 12);
        QCOMPARE(head.font.name, QStringLiteral("Courier New"));
        QCOMPARE(fx.line(1).text, QString());
        QCOMPARE(fx.line(1).font.size, 12.0);
        QCOMPARE(fx.paper->texts().mid(2, 3), (QStringList{QString(), kBusinessHeader, QString()}));
        QCOMPARE(fx.line(3).font.size, 8.0);
        QCOMPARE(rowTexts(fx), (QStringList{QStringLiteral("     1 - 01001000 - 100 -    1 - Alpha"),
                                            QStringLiteral("     2 - 01001000 - 101 -   12 - Beta"),
                                            QStringLiteral("     3 - 01001000 - 102 -    1 - ")}));
        QCOMPARE(fx.paper->documentsEnded(), 1);
        QCOMPARE(G().Druck_Kopfzeile, QStringLiteral("Betriebsliste     Seite: "));
        QVERIFY(fx.logBytes().isEmpty());
    }

    void personListNamesPersonAndBusiness()
    {
        PrintFixture fx;
        business(QStringLiteral("100"), QStringLiteral("Alpha"));
        business(QStringLiteral("103"), QStringLiteral(""));
        person("P1", "100", QVariant(), QStringLiteral("Albers"));
        person("P2", "103", QStringLiteral("Beta GmbH"), QVariant());
        ListView list(kPersonQuery);
        List_Druck_Liste(ListKind::Person, &list.data);
        QCOMPARE(fx.line(0).text, QStringLiteral("Personenliste     Seite: 1"));
        QVERIFY(!fx.line(1).font.bold && !fx.line(1).font.underline);
        QCOMPARE(fx.line(3).text, kPersonHeader);
        QCOMPARE(rowTexts(fx), (QStringList{QStringLiteral("     1 - P1 - 100 -    1 -  - Albers - Fa. Alpha"),
                                            QStringLiteral("     2 - P2 - 103 -    1 - Beta GmbH -  - Fa. ")}));
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
        const QString prefix = QStringLiteral("     1 - 01001000 - 100 -    1 - ");
        QString name;
        for (int i = int(prefix.size()); i < length; ++i)
            name += QChar(u'a' + i % 26);
        business(QStringLiteral("100"), name);
        ListView list(businessQuery());
        List_Druck_Liste(ListKind::Betrieb, &list.data);

        const QStringList rows = rowTexts(fx);
        QCOMPARE(rows.size(), pieces.size());
        QCOMPARE(rows.join(QString()), prefix + name);
        for (int i = 0; i < pieces.size(); ++i) {
            QCOMPARE(int(rows[i].size()), pieces[i]);
            QCOMPARE(fx.line(kFirstRow + i).x, i == 0 ? 0.0 : 11000.0 / 3);
        }
    }

    void wholeListInItsOrderThenBackOnTheRow()
    {
        PrintFixture fx;
        business(QStringLiteral("100"), QStringLiteral("Alpha"));
        business(QStringLiteral("101"), QStringLiteral("Gamma"));
        business(QStringLiteral("102"), QStringLiteral("Beta"));
        ListView list(businessQuery(QStringLiteral("betrieb.[b-eintr-name] DESC")));
        list.rs()->setAbsolutePosition(2);
        List_Druck_Liste(ListKind::Betrieb, &list.data);
        QCOMPARE(rowTexts(fx), (QStringList{QStringLiteral("     1 - 01001000 - 101 -    1 - Gamma"),
                                            QStringLiteral("     2 - 01001000 - 102 -    1 - Beta"),
                                            QStringLiteral("     3 - 01001000 - 100 -    1 - Alpha")}));
        QCOMPARE(list.rs()->absolutePosition(), 2L);
    }

    void printerDialogOutcomes_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("thrown");
        QTest::addColumn<QString>("box");
        QTest::newRow("cancelled") << print::CancelError << 0 << QString();
        QTest::newRow("failed") << 5 << 0 << QStringLiteral("Es ist ein Druckerfehler aufgetreten! 5");
        QTest::newRow("raised") << 0 << 3001 << QStringLiteral("Es ist ein Druckerfehler aufgetreten! 3001");
    }
    void printerDialogOutcomes()
    {
        QFETCH(int, answer);
        QFETCH(int, thrown);
        QFETCH(QString, box);
        PrintFixture fx;
        fx.dialogAnswer = answer;
        fx.dialogError = thrown;
        business(QStringLiteral("100"), QStringLiteral("Alpha"));
        business(QStringLiteral("101"), QStringLiteral("Beta"));
        ListView list(businessQuery());
        list.rs()->moveNext();
        List_Druck_Liste(ListKind::Betrieb, &list.data);
        List_Druck_Satz(ListKind::Betrieb, &list.data);
        QCOMPARE(fx.dialogs, 2);
        QVERIFY(fx.paper->lines().empty());
        QCOMPARE(list.rs()->absolutePosition(), 1L);
        const auto &boxes = platform::MessageService::recorded();
        if (box.isEmpty()) {
            QVERIFY(boxes.empty());
            return;
        }
        QCOMPARE(int(boxes.size()), 2);
        QCOMPARE(boxes.front().title, QStringLiteral("Betriebsdaten drucken!"));
        QCOMPARE(boxes.front().text, box);
        QCOMPARE(boxes.front().style, 64);
    }

    void laterPagesRepeatOnlyThePageHeader()
    {
        PrintFixture fx;
        for (int i = 0; i < 100; ++i)
            business(QString::number(1000 + i), QStringLiteral("Firma %1").arg(i));
        // A record print may have left the right column behind; list rows still start at the left.
        G().Druck_Spalte = QStringLiteral("vorne");
        G().Druck_X = 5500;
        ListView list(businessQuery());
        List_Druck_Liste(ListKind::Betrieb, &list.data);

        int second = -1;
        for (int i = 0; i < int(fx.paper->lines().size()) && second < 0; ++i) {
            if (fx.line(i).page == 2)
                second = i;
        }
        QVERIFY(second > kFirstRow);
        QCOMPARE(fx.line(second).text, QStringLiteral("Betriebsliste     Seite: 2"));
        QVERIFY(fx.line(second).font.bold && fx.line(second).font.underline);
        QCOMPARE(fx.line(second + 1).text, QString());
        const auto &next = fx.line(second + 2);
        QCOMPARE(next.x, 0.0);
        QCOMPARE(next.text.left(6).trimmed().toInt(), fx.line(second - 1).text.left(6).trimmed().toInt() + 1);
        QCOMPARE(fx.paper->texts().count(kBusinessHeader), 1);
        QVERIFY(fx.paper->texts().last().startsWith(QStringLiteral("   100 - ")));
    }

    void printerFailureShowsABoxPerRemainingLine()
    {
        PrintFixture fx;
        for (int i = 0; i < 5; ++i)
            business(QString::number(100 + i), QStringLiteral("Firma"));
        fx.paper->setFailure([](RecordingPrinter::Operation op, const QString &text) {
            return op == RecordingPrinter::Operation::Draw && text.startsWith(QStringLiteral("     2 - "));
        });
        ListView list(businessQuery());
        list.rs()->setAbsolutePosition(3);
        List_Druck_Liste(ListKind::Betrieb, &list.data);
        QCOMPARE(fx.loggedLabels(), QStringList{QStringLiteral("DS_Druck_1")});
        QCOMPARE(rowTexts(fx), QStringList{QStringLiteral("     1 - 01001000 - 100 -    1 - Firma")});
        const auto boxes = PrintFixture::boxes(QStringLiteral("Druckerfehler!"));
        QCOMPARE(int(boxes.size()), 3);
        QCOMPARE(fx.paper->documentsEnded(), 1);
        QCOMPARE(list.rs()->absolutePosition(), 3L);
    }

    void engineFailureEndsTheListCleanly()
    {
        PrintFixture fx;
        business(QStringLiteral("100"), QStringLiteral("Alpha"));
        business(QStringLiteral("101"), QStringLiteral("Beta"));
        // A view without the name column cannot give a row text.
        ListView list(QStringLiteral("SELECT betrieb.[gem-kz], betrieb.[betr-nr] FROM betrieb ORDER BY betrieb.[betr-nr]"));
        list.rs()->moveNext();
        List_Druck_Liste(ListKind::Betrieb, &list.data);
        QCOMPARE(fx.loggedLabels(), QStringList{QStringLiteral("Frm_Auswahl_Betr.Command1_Click")});
        QCOMPARE(fx.paper->documentsEnded(), 1);
        QVERIFY(!fx.paper->documentOpen());
        QCOMPARE(list.rs()->absolutePosition(), 1L);
        const auto boxes = PrintFixture::boxes(QStringLiteral("Betriebsdaten drucken!"));
        QCOMPARE(int(boxes.size()), 1);
        QVERIFY(boxes.front().text.startsWith(QStringLiteral("Die Liste konnte nicht vollständig gedruckt werden!")));
    }

    void recordButtonPrintsTheCurrentRow()
    {
        PrintFixture fx;
        business(QStringLiteral("100"), QStringLiteral("Alpha"));
        business(QStringLiteral("101"), QStringLiteral("Beta"));
        person("P1", "100", QVariant(), QStringLiteral("Albers"));
        person("P2", "101", QVariant(), QStringLiteral("Brandt"));
        ListView businesses(businessQuery());
        businesses.rs()->moveNext();
        List_Druck_Satz(ListKind::Betrieb, &businesses.data);
        QCOMPARE(fx.line(0).text, QStringLiteral("Betriebsnummer: 101     Seite: 1"));

        ListView persons(kPersonQuery);
        persons.rs()->moveLast();
        List_Druck_Satz(ListKind::Person, &persons.data);
        QCOMPARE(fx.paper->linesOf(2).front().text, QStringLiteral("Personennummer: P2     Seite: 1"));
        QCOMPARE(fx.dialogs, 2);

        // No current row: no dialog, nothing printed.
        ListView empty(QStringLiteral("SELECT * FROM person WHERE [pers-nr] = 'keiner'"));
        List_Druck_Satz(ListKind::Person, &empty.data);
        List_Druck_Liste(ListKind::Person, &empty.data);
        QCOMPARE(fx.dialogs, 2);
        QCOMPARE(fx.paper->documentsStarted(), 2);
    }

    void failedRecordPrintFromAListLeavesNoHourglass()
    {
        PrintFixture fx;
        business(QStringLiteral("100"), QStringLiteral("Alpha"));
        G().Datenbank_Daten->execute(QStringLiteral("DROP TABLE betrieb_handwerkskarte"));
        ListView list(businessQuery());
        List_Druck_Satz(ListKind::Betrieb, &list.data);
        QCOMPARE(fx.loggedLabels(), QStringList{QStringLiteral("DS_Druck_1")});
        QCOMPARE(fx.pointer.first(), true);
        QCOMPARE(fx.pointer.last(), false);
    }
};

QTEST_MAIN(TestListPrint)
#include "tst_listprint.moc"
