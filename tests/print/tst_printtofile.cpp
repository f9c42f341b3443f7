#include "PdfText.h"
#include "PrintFixture.h"

#include "print/Print.h"
#include "print/SystemPrinter.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

void business(const char *nr, const char *name)
{
    PrintFixture::insert("betrieb", {{"gem-kz", "01001000"}, {"betr-nr", nr}, {"betr-hist-nr", "1"},
                                     {"b-eintr-name", QString::fromUtf8(name)}});
    PrintFixture::insert("betrieb_adresse", {{"betr-nr", nr}, {"betr-hist-nr", "1"}, {"b-adr-art", "1"}});
}

void person(const char *pers, const char *betrNr, const char *famName)
{
    PrintFixture::insert("person", {{"pers-nr", pers}, {"p-art", "NP"}, {"fam-name", QString::fromUtf8(famName)}});
    PrintFixture::insert("beziehung_betrieb_person",
                         {{"bez-betr-nr", betrNr}, {"bez-betr-hist-nr", "1"}, {"bez-pers-nr", pers}});
}

// Files of the process may grow to `bytes` at most while it lives; a write
// beyond fails as on a full disk instead of ending the process.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit cut = m_old;
        cut.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &cut);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_signal);
    }

private:
    rlimit m_old{};
    void (*m_signal)(int) = nullptr;
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestPrintToFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }

    // A print whose writing fails is one printer failure, and the print after
    // it writes the whole document into the next file.
    void failedWriteIsReportedAndTheNextPrintIsWhole_data()
    {
        QTest::addColumn<bool>("list");
        QTest::addColumn<int>("persons");
        QTest::addColumn<bool>("cutShort"); // a plain file that stops growing, else /dev/full
        QTest::addColumn<QString>("told");
        QTest::addColumn<QString>("printed");
        const QString full = u"Die Datei „/dev/full“ konnte nicht vollständig geschrieben werden"_s;
        const QString record = u"   fam-name:     Jürgens"_s;
        // One page is written only when the document ends; many pages fail
        // at a new page already.
        QTest::newRow("record of one page into /dev/full") << false << 1 << false << full << record;
        QTest::newRow("record of many pages into /dev/full") << false << 60 << false << full << record;
        QTest::newRow("list into /dev/full") << true << 60 << false << full
                                             << u"     9 - P1 - 100 -    1 -  - Jürgens - Fa. Müller Bau"_s;
        QTest::newRow("record into a file cut short")
            << false << 60 << true << u"Die unvollständige Datei wurde gelöscht."_s << record;
    }
    void failedWriteIsReportedAndTheNextPrintIsWhole()
    {
        QFETCH(bool, list);
        QFETCH(int, persons);
        QFETCH(bool, cutShort);
        QFETCH(QString, told);
        QFETCH(QString, printed);
        PrintFixture fx;
        business("100", "Müller Bau");
        person("P1", "100", "Jürgens");
        for (int i = 2; i <= persons; ++i)
            person(qPrintable(u"P%1"_s.arg(i, 2, 10, QLatin1Char('0'))), "100", "Person mit einem längeren Namen");
        QTemporaryDir out;
        const QString first = cutShort ? out.filePath(u"abgeschnitten.pdf"_s) : u"/dev/full"_s;
        const QString second = out.filePath(u"satz.pdf"_s);
        auto system = std::make_unique<SystemPrinter>();
        SystemPrinter *printer = system.get();
        print::setPrinter(std::move(system));
        QStringList targets{first, second};
        print::setPrinterDialog([&](const QString &) {
            printer->printToFile(targets.takeFirst());
            return 0;
        });
        BoundView data(u"data"_s);
        data.setDatabaseName(G().Datei_DB_offen);
        // The business list's "Satz" prints the business with all its persons.
        data.setRecordSource(list ? kPersonListQuery : businessListQuery());
        data.Refresh();
        const auto printOnce = [&] {
            if (list)
                List_Druck_Liste(ListKind::Person, &data);
            else
                List_Druck_Satz(ListKind::Betrieb, &data);
        };

        {
            std::optional<FileSizeLimit> limit;
            if (cutShort)
                limit.emplace(4096);
            printOnce();
        }
        const QStringList boxes = PrintFixture::boxes();
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes.front().startsWith(u"Druckerfehler!|"_s) && boxes.front().contains(told),
                 qPrintable(boxes.front()));
        QCOMPARE(fx.loggedLabels().size(), 1);
        if (cutShort)
            QVERIFY(!QFileInfo::exists(first));

        printOnce();
        QCOMPARE(PrintFixture::boxes().size(), 1);
        QCOMPARE(fx.loggedLabels().size(), 1);
        const QByteArray pdf = readAll(second);
        QVERIFY2(pdf.startsWith("%PDF") && pdf.trimmed().endsWith("%%EOF"), qPrintable(QString::number(pdf.size())));
        const QStringList lines = PdfText::lines(pdf);
        QVERIFY2(lines.contains(printed), qPrintable(lines.mid(0, 12).join(u'\n')));
        QVERIFY(lines.contains(list ? u"Personenliste     Seite: 1"_s : u"Betriebsnummer: 100     Seite: 1"_s));
    }
};

QTEST_MAIN(TestPrintToFile)
#include "tst_printtofile.moc"
