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
        // The bytes 0x80 to 0x9F are where the code page differs from Latin-1.
        const QString characters = QStringLiteral("€„…“–ŠŸ\u00A0§Äößÿ");
        const int bytes[] = {0x80, 0x84, 0x85, 0x93, 0x96, 0x8A, 0x9F, 0xA0, 0xA7, 0xC4, 0xF6, 0xDF, 0xFF};
        for (int i = 0; i < characters.size(); ++i)
            QTest::addRow("byte %x", bytes[i]) << QString(characters[i]) << bytes[i];
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
        QTest::newRow("Polish l") << QStringLiteral("Łódź") << QByteArray("?\xF3" "d?");
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
        QVERIFY(bytes.contains("B\xE4" "ckerei M\xFC" "ller"));
        QVERIFY(bytes.contains("\x96 Preis 5 \x80"));
        QCOMPARE(fromCp1252(bytes), line);
        QCOMPARE(fromCp1252(QByteArray()), QString());
    }
};

QTEST_GUILESS_MAIN(TestCp1252)
#include "tst_cp1252.moc"
