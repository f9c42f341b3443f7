#include "record/CodeTexts.h"

#include <QLocale>
#include <QTest>

// The coded columns beside which the record window shows a text. The rules
// differ per column: text compare, numeric compare, or both.
class TestCodeTexts : public QObject
{
    Q_OBJECT

    enum Column { Korr, Schwerp, Ummeld, Funktion };

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }

    void texts_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");
        const QVariant null;
        QTest::newRow("korr 1") << int(Korr) << QVariant("1") << QStringLiteral("normale Korrekturmeldung");
        QTest::newRow("korr 2") << int(Korr) << QVariant("2") << QStringLiteral("Rechtsformänderung");
        QTest::newRow("korr 5") << int(Korr) << QVariant("5") << QStringLiteral("Adressänderung");
        QTest::newRow("korr 7") << int(Korr) << QVariant("7") << QStringLiteral("Registerdatenänderung");
        QTest::newRow("korr 8") << int(Korr) << QVariant("8") << QString();
        QTest::newRow("korr empty") << int(Korr) << QVariant("") << QString();
        QTest::newRow("korr null") << int(Korr) << null << QString();
        QTest::newRow("korr 01 is text") << int(Korr) << QVariant("01") << QString();
        QTest::newRow("schwerp 0") << int(Schwerp) << QVariant("0") << QStringLiteral("nein");
        QTest::newRow("schwerp 1") << int(Schwerp) << QVariant("1") << QStringLiteral("ja");
        QTest::newRow("schwerp 01 as number") << int(Schwerp) << QVariant("01") << QStringLiteral("ja");
        QTest::newRow("schwerp 00 no text match") << int(Schwerp) << QVariant("00") << QString();
        QTest::newRow("schwerp 2") << int(Schwerp) << QVariant("2") << QString();
        QTest::newRow("schwerp letters") << int(Schwerp) << QVariant("j") << QString();
        QTest::newRow("schwerp empty") << int(Schwerp) << QVariant("") << QString();
        QTest::newRow("schwerp null") << int(Schwerp) << null << QString();
        QTest::newRow("umm 1") << int(Ummeld) << QVariant("1") << QStringLiteral("neue Tätigkeit");
        QTest::newRow("umm 2") << int(Ummeld) << QVariant("2") << QStringLiteral("Tätigkeit wird weiterhin ausgeübt");
        QTest::newRow("umm 02 as number")
            << int(Ummeld) << QVariant("02") << QStringLiteral("Tätigkeit wird weiterhin ausgeübt");
        QTest::newRow("umm 01 no text match") << int(Ummeld) << QVariant("01") << QString();
        QTest::newRow("umm 3") << int(Ummeld) << QVariant("3") << QString();
        QTest::newRow("fkt 1") << int(Funktion) << QVariant("1") << QStringLiteral("Einzelgewerbetreibender");
        QTest::newRow("fkt 01") << int(Funktion) << QVariant("01") << QStringLiteral("Einzelgewerbetreibender");
        QTest::newRow("fkt 2") << int(Funktion) << QVariant("2") << QStringLiteral("Geschäftsführender Gesellschafter");
        QTest::newRow("fkt 3") << int(Funktion) << QVariant("3") << QStringLiteral("Gesetzlicher Vertreter");
        QTest::newRow("fkt 4") << int(Funktion) << QVariant("4") << QStringLiteral("Inhaber");
        QTest::newRow("fkt 5") << int(Funktion) << QVariant("5") << QString();
        QTest::newRow("fkt empty") << int(Funktion) << QVariant("") << QString();
        QTest::newRow("fkt letters") << int(Funktion) << QVariant("GF") << QString();
        QTest::newRow("fkt null") << int(Funktion) << null << QString();
    }

    void texts()
    {
        QFETCH(int, column);
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        QString actual;
        switch (column) {
        case Korr: actual = korrekturmeldungText(value); break;
        case Schwerp: actual = schwerpunktText(value); break;
        case Ummeld: actual = ummeldungText(value); break;
        default: actual = funktionText(value); break;
        }
        QCOMPARE(actual, expected);
    }
};

QTEST_GUILESS_MAIN(TestCodeTexts)
#include "tst_codetexts.moc"
