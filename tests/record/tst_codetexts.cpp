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
        // Rows are named after the column and the stored value; "null" is no value at all.
        using Cases = std::initializer_list<std::pair<const char *, const char *>>;
        const auto rows = [](Column column, const char *name, Cases cases) {
            for (const auto &[value, text] : cases)
                QTest::addRow("%s %s", name, value ? value : "null")
                    << int(column) << (value ? QVariant(QString::fromLatin1(value)) : QVariant())
                    << QString::fromUtf8(text);
        };
        // Text compare: "01" is no code.
        rows(Korr, "korr", {{"1", "normale Korrekturmeldung"}, {"2", "Rechtsformänderung"}, {"5", "Adressänderung"},
                            {"7", "Registerdatenänderung"}, {"8", ""}, {"", ""}, {nullptr, ""}, {"01", ""}});
        // Numeric compare only where the text compare finds nothing: "01" is 1, "00" is nothing.
        rows(Schwerp, "schwerp", {{"0", "nein"}, {"1", "ja"}, {"01", "ja"}, {"00", ""}, {"2", ""}, {"j", ""}, {"", ""},
                                  {nullptr, ""}});
        rows(Ummeld, "umm", {{"1", "neue Tätigkeit"}, {"2", "Tätigkeit wird weiterhin ausgeübt"},
                             {"02", "Tätigkeit wird weiterhin ausgeübt"}, {"01", ""}, {"3", ""}});
        // Both compares.
        rows(Funktion, "fkt", {{"1", "Einzelgewerbetreibender"}, {"01", "Einzelgewerbetreibender"},
                               {"2", "Geschäftsführender Gesellschafter"}, {"3", "Gesetzlicher Vertreter"},
                               {"4", "Inhaber"}, {"5", ""}, {"", ""}, {"GF", ""}, {nullptr, ""}});
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
