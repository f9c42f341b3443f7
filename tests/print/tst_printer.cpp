#include "engine/EngineError.h"
#include "print/RecordingPrinter.h"
#include "print/SystemPrinter.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

class TestPrinter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }

    void badFontSizeAndDeviceFailuresRaise()
    {
        RecordingPrinter p;
        try {
            p.setFontSize(0);
            QFAIL("no error");
        } catch (const engine::EngineError &e) {
            QCOMPARE(e.number(), 380);
        }
        QCOMPARE(p.fontSize(), 10.0);
        p.setFailure([](RecordingPrinter::Operation op, const QString &) {
            return op == RecordingPrinter::Operation::NewPage;
        });
        try {
            p.newPage();
            QFAIL("no error");
        } catch (const engine::EngineError &e) {
            QCOMPARE(e.number(), print::PrinterError);
        }
        // The end of a document that could not be sent still starts the next one afresh.
        p.setFailure([](RecordingPrinter::Operation op, const QString &) {
            return op == RecordingPrinter::Operation::EndDocument;
        });
        QVERIFY_THROWS_EXCEPTION(engine::EngineError, p.endDoc());
        QVERIFY(!p.documentOpen());
        QCOMPARE(p.page(), 1);
    }

    void systemPrinterWritesPagesWithAMonospacedCourier()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("druck.pdf"));
        {
            SystemPrinter p(file);
            p.setFontName(QStringLiteral("Courier New"));
            p.setFontSize(8);
            QVERIFY(p.pageWidth() > 8000 && p.pageHeight() > 10000);
            QCOMPARE(qRound(p.textWidth(QStringLiteral("iiii"))), qRound(p.textWidth(QStringLiteral("MMMM"))));
            const double eight = p.textHeight();
            p.setFontSize(12);
            QVERIFY(p.textHeight() > eight);
            p.print(QStringLiteral("Betriebsnummer: 1     Seite: 1"));
            p.print(QStringLiteral("Zeile\r\nmit Umbruch"));
            p.newPage();
            p.print(QStringLiteral("Seite 2"));
            p.endDoc();
        }
        QFile pdf(file);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QByteArray bytes = pdf.readAll();
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(bytes.count("/Type /Page") - bytes.count("/Type /Pages"), 2);
    }
};

QTEST_MAIN(TestPrinter)
#include "tst_printer.moc"
