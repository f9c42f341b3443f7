#include "AppFixture.h"

#include "storage/FileType.h"

#include <QFileInfo>
#include <QTest>

namespace {

class FakeRegistry : public FileTypeRegistry
{
public:
    long result = 2;
    QByteArray value;
    int opened = 0;
    long openKey(const QString &) override { return ++opened, result; }
    long queryDefaultValue(const QString &, QByteArray &out) override
    {
        if (result == 0)
            out = value;
        return result;
    }
};

QStringList entries(const QString &dir)
{
    QStringList names = QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    // The engine's journal files come and go with open handles.
    names.removeIf([](const QString &n) { return n.endsWith(QLatin1String("-wal")) || n.endsWith(u"-shm"); });
    return names;
}

const QStringList kWorkingCopies = QStringLiteral("px_4x_b.mdb px_4x_m.mdb px_org.mdb").split(u' ');

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }
    void cleanup() { setFileTypeRegistry(nullptr); }

    void freshAndSecondStart()
    {
        AppFixture fx;
        A_Start();
        QVERIFY2(fx.log().isEmpty(), fx.log().constData());
        QCOMPARE(entries(fx.programDir), QStringLiteral("DB Dat Log PX_Org.mdb px_4x_b.mdb px_4x_m.mdb").split(u' '));
        QCOMPARE(entries(fx.path(QStringLiteral("DB"))), kWorkingCopies);
        const Declare &g = G();
        QCOMPARE(g.Verz_Log, fx.programDir + QStringLiteral("/Log/"));
        QCOMPARE(g.Datei_DB_Daten, fx.programDir + QStringLiteral("/DB/px_4x_b.mdb"));
        QCOMPARE(g.Datenart_aktuell.toString(), QStringLiteral("BETRIEBSBEZOGEN"));
        QCOMPARE(g.RS_Optionen->recordCount(), 1L);
        QVERIFY(g.RS_betrieb && g.RS_betrieb->isOpen());
        QCOMPARE(g.Fehler_geloggt, qint16(0));
        QVERIFY(platform::MessageService::recorded().empty());

        // A second start copies nothing and keeps the data.
        G().Datenbank_Daten->execute(QStringLiteral("INSERT INTO betrieb ([betr-nr]) VALUES ('4711')"));
        G().reset();
        engine::releaseFile(fx.path(QStringLiteral("DB/px_4x_b.mdb")));

        A_Start();
        QVERIFY(fx.log().isEmpty());
        QCOMPARE(entries(fx.path(QStringLiteral("DB"))), kWorkingCopies);
        QCOMPARE(G().RS_betrieb->recordCount(), 1L);
        QCOMPARE(G().RS_Optionen->recordCount(), 1L);
    }

    void directoriesAreFoundInAnyLetterCase()
    {
        AppFixture fx;
        QDir(fx.programDir).mkdir(QStringLiteral("LOG"));
        QDir(fx.programDir).mkdir(QStringLiteral("db"));
        A_Start();
        QVERIFY(!QFileInfo::exists(fx.path(QStringLiteral("Log"))));
        QVERIFY(!QFileInfo::exists(fx.path(QStringLiteral("DB"))));
        QVERIFY(QFileInfo::exists(fx.path(QStringLiteral("db/px_org.mdb"))));
        QVERIFY(G().RS_betrieb && G().RS_betrieb->isOpen());
    }

    void stopsAtTheTemplateStep_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("a file named DB") << "file DB";
        QTest::newRow("a template missing") << "no px_4x_m.mdb";
    }

    void stopsAtTheTemplateStep()
    {
        QFETCH(QString, damage);
        AppFixture fx;
        if (damage == QLatin1String("file DB")) {
            QFile f(fx.path(QStringLiteral("DB")));
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else {
            QVERIFY(QFile::remove(fx.path(QStringLiteral("px_4x_m.mdb"))));
        }
        A_Start();
        QCOMPARE(fx.loggedLabels(), QStringList{QStringLiteral("A_Start")});
        QVERIFY(!G().Datenbank_Org && !G().RS_Optionen);
        QVERIFY(QFileInfo(fx.path(QStringLiteral("Log"))).isDir());
        QCOMPARE(G().Fehler_geloggt, qint16(1));
    }

    void fileTypeTest_data()
    {
        QTest::addColumn<long>("result");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("calls");
        QTest::newRow("no key") << 2L << QByteArray() << 2;
        QTest::newRow("the product") << 0L << QByteArray("PLOXA_4x_Access") << 0;
        QTest::newRow("the product and more") << 0L << QByteArray("PLOXA_4x_Access.Datei") << 0;
        QTest::newRow("another program") << 0L << QByteArray("Notepad++_file") << 1;
        QTest::newRow("a shorter value") << 0L << QByteArray("PLOXA") << 1;
    }

    void fileTypeTest()
    {
        QFETCH(long, result);
        QFETCH(QByteArray, value);
        QFETCH(int, calls);
        auto registry = std::make_shared<FakeRegistry>();
        registry->result = result;
        registry->value = value;
        setFileTypeRegistry(registry);
        QCOMPARE(checkFileTypeAssociation(), calls);
    }

    void ormKalNeverTouchesTheRegistry_data()
    {
        QTest::addColumn<QString>("subdir");
        QTest::addColumn<int>("opened");
        QTest::newRow("ordinary directory") << "Programme/PLOXA" << 1;
        QTest::newRow("OrmKal in the path") << "OrmKal/PLOXA" << 0;
        QTest::newRow("ormkal in small letters") << "ormkal/PLOXA" << 1;
    }

    void ormKalNeverTouchesTheRegistry()
    {
        QFETCH(QString, subdir);
        QFETCH(int, opened);
        AppFixture fx(subdir);
        auto registry = std::make_shared<FakeRegistry>();
        setFileTypeRegistry(registry);
        A_Start();
        QVERIFY(fx.log().isEmpty());
        QCOMPARE(registry->opened, opened);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
