#include "engine/EngineError.h"
#include "print/RecordingPrinter.h"
#include "print/SystemPrinter.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestPrinter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }

    void badFontSizeAndDeviceFailuresRaise()
    {
        const auto raised = [](auto &&call) {
            try {
                call();
            } catch (const engine::EngineError &e) {
                return e.number();
            }
            return 0;
        };
        RecordingPrinter p;
        QCOMPARE(raised([&] { p.setFontSize(0); }), 380);
        QCOMPARE(p.fontSize(), 10.0);
        const auto failOn = [&](RecordingPrinter::Operation which) {
            p.setFailure([which](RecordingPrinter::Operation op, const QString &) { return op == which; });
        };
        failOn(RecordingPrinter::Operation::NewPage);
        QCOMPARE(raised([&] { p.newPage(); }), print::PrinterError);
        // The end of a document that could not be sent still starts the next one afresh.
        failOn(RecordingPrinter::Operation::EndDocument);
        QVERIFY(raised([&] { p.endDoc(); }) != 0);
        QVERIFY(!p.documentOpen());
        QCOMPARE(p.page(), 1);
    }

    void systemPrinterRecoversFromATargetThatFails_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("told");
        QTest::newRow("no printer, no file") << QString() << u"Es ist kein Drucker eingerichtet und keine Datei gewählt."_s;
        QTest::newRow("missing folder") << u"fehlt/druck.pdf"_s << u"Die Datei „%1“ lässt sich nicht anlegen."_s;
    }
    void systemPrinterRecoversFromATargetThatFails()
    {
        QFETCH(QString, target);
        QFETCH(QString, told);
        QTemporaryDir dir;
        const QString bad = target.isEmpty() ? target : dir.filePath(target);
        SystemPrinter p;
        p.printToFile(bad);
        QVERIFY(!p.printsToQueue());
        QString text;
        try {
            p.print(u"erste Zeile"_s);
        } catch (const engine::EngineError &e) {
            QCOMPARE(e.number(), print::PrinterError);
            text = e.text();
        }
        QVERIFY2(text.startsWith(QString(told).replace(u"%1"_s, bad)), qPrintable(text));
        QVERIFY(!p.documentOpen());
        // The file chosen next takes the next document.
        const QString good = dir.filePath(u"neu.pdf"_s);
        p.printToFile(good);
        p.print(u"zweite Zeile"_s);
        p.endDoc();
        QFile pdf(good);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.readAll().startsWith("%PDF"));
    }

    void systemPrinterWritesPagesWithAMonospacedCourier()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"druck.pdf"_s);
        {
            SystemPrinter p(file);
            p.setFontName(u"Courier New"_s);
            p.setFontSize(8);
            QVERIFY(p.pageWidth() > 8000 && p.pageHeight() > 10000);
            QCOMPARE(qRound(p.textWidth(u"iiii"_s)), qRound(p.textWidth(u"MMMM"_s)));
            const double eight = p.textHeight();
            p.setFontSize(12);
            QVERIFY(p.textHeight() > eight);
            p.print(u"Betriebsnummer: 1     Seite: 1"_s);
            p.print(u"Zeile\r\nmit Umbruch"_s);
            p.newPage();
            p.print(u"Seite 2"_s);
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
