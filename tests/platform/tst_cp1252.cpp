// Transfer files and the error log are Windows-1252; every byte a file holds
// must come back unchanged when the text is written out again.
#include "platform/Cp1252.h"

#include <QLocale>
#include <QTest>

using namespace platform;

class TestCp1252 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }

    void everyByteRoundTrips()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString text = fromCp1252(all);
        QCOMPARE(text.size(), qsizetype(256));
        QCOMPARE(toCp1252(text), all);
        // No two bytes may read as the same character.
        for (int i = 0; i < 256; ++i)
            for (int j = i + 1; j < 256; ++j)
                QVERIFY(text.at(i) != text.at(j));
    }

    void characters_data()
    {
        QTest::addColumn<QString>("character");
        QTest::addColumn<int>("byte");
        QTest::newRow("euro") << QStringLiteral("€") << 0x80;
        QTest::newRow("low double quote") << QStringLiteral("„") << 0x84;
        QTest::newRow("ellipsis") << QStringLiteral("…") << 0x85;
        QTest::newRow("left double quote") << QStringLiteral("“") << 0x93;
        QTest::newRow("en dash") << QStringLiteral("–") << 0x96;
        QTest::newRow("S caron") << QStringLiteral("Š") << 0x8A;
        QTest::newRow("Y diaeresis") << QStringLiteral("Ÿ") << 0x9F;
        QTest::newRow("no-break space") << QStringLiteral("\u00A0") << 0xA0;
        QTest::newRow("paragraph sign") << QStringLiteral("§") << 0xA7;
        QTest::newRow("A umlaut") << QStringLiteral("Ä") << 0xC4;
        QTest::newRow("o umlaut") << QStringLiteral("ö") << 0xF6;
        QTest::newRow("sharp s") << QStringLiteral("ß") << 0xDF;
        QTest::newRow("y diaeresis") << QStringLiteral("ÿ") << 0xFF;
    }
    void characters()
    {
        QFETCH(QString, character);
        QFETCH(int, byte);
        const QByteArray one(1, char(byte));
        QCOMPARE(toCp1252(character), one);
        QCOMPARE(fromCp1252(one), character);
    }

    void unmappable_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("Polish l") << QStringLiteral("Łódź")
                                  << QByteArray("?\xF3"
                                                "d?");
        QTest::newRow("Cyrillic") << QStringLiteral("Жук") << QByteArray("???");
        QTest::newRow("CJK") << QStringLiteral("a漢b") << QByteArray("a?b");
    }
    void unmappable()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(toCp1252(text), bytes);
        QCOMPARE(toCp1252(text, '_'), QByteArray(bytes).replace('?', '_'));
    }

    void lineOfATransferFile()
    {
        const QString line = QStringLiteral("<b-eintr-name>Bäckerei Müller & Söhne – Preis 5 €</b-eintr-name>\r\n");
        const QByteArray bytes = toCp1252(line);
        QCOMPARE(bytes.size(), line.size());
        QVERIFY(bytes.contains("B\xE4"
                               "ckerei M\xFC"
                               "ller"));
        QVERIFY(bytes.contains("\x96 Preis 5 \x80"));
        QCOMPARE(fromCp1252(bytes), line);
        QCOMPARE(fromCp1252(QByteArray()), QString());
    }
};

QTEST_GUILESS_MAIN(TestCp1252)
#include "tst_cp1252.moc"
