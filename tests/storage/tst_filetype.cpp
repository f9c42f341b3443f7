#include "StorageFixture.h"
#include "../platform/DesktopHome.h"

#include "platform/DesktopFileTypeRegistry.h"
#include "storage/FileType.h"

#include <QTest>
#include <array>

using platform::DesktopFileTypeRegistry;

namespace {

// Answers each registry call with the next code of its script and counts them.
class ScriptedRegistry : public FileTypeRegistry
{
public:
    std::array<long, 6> codes{};
    int calls = 0;
    int flushed = 0;
    long openKey(const QString &) override { return 2; }
    long queryDefaultValue(const QString &, QByteArray &) override { return 2; }
    long createKey(const QString &) override { return codes[size_t(calls++)]; }
    long setDefaultValue(const QString &, const QString &, const QString &) override { return codes[size_t(calls++)]; }
    void flush() override { ++flushed; }
};

QString readAll(const QString &path)
{
    return QString::fromUtf8(DesktopHome::readAll(path));
}

constexpr auto defaultValue = &DesktopHome::defaultValue<FileTypeRegistry>;

long storedFlagRows()
{
    return G().Datenbank_Org->openRecordset(
                  QStringLiteral("SELECT * FROM Optionen WHERE [Dateiendung_registriert] = True"))
        ->recordCount();
}

} // namespace

class TestFileType : public QObject
{
    Q_OBJECT
    std::unique_ptr<DesktopHome> m_home;

    static void registerProgram(const QString &programDir)
    {
        Reg_Dateityp(QStringLiteral("PLOXA_4x_Access"), programDir + QStringLiteral("/PLOXA_4x_Access.exe"),
                     QStringLiteral("PLOXA_4x_Access"), QStringLiteral("rml"));
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }

    // Every test gets a desktop of its own.
    void init() { m_home = std::make_unique<DesktopHome>(); }
    void cleanup() { setFileTypeRegistry(nullptr); }

    void registersOnTheDesktop_data()
    {
        QTest::addColumn<QString>("subdir");
        QTest::addColumn<bool>("bareProgram"); // the program file exists without ".exe"
        QTest::addColumn<QString>("exec");     // relative to the program directory
        QTest::newRow("plain directory") << "ploxa" << false << "%1/PLOXA_4x_Access.exe %f";
        QTest::newRow("program without .exe") << "ploxa" << true << "%1/PLOXA_4x_Access %f";
        QTest::newRow("blanks in the directory") << "Meine Programme/ploxa" << true
                                                 << "\"%1/PLOXA_4x_Access\" %f";
        // Desktops drop an entry whose Exec path holds a "%": a link of the
        // type's own under the data directory (%2) stands in for the program.
        QTest::newRow("percent sign in the directory") << "100%/ploxa" << true
                                                       << "%2PLOXA_4x_Access/PLOXA_4x_Access %f";
    }

    void registersOnTheDesktop()
    {
        QFETCH(QString, subdir);
        QFETCH(bool, bareProgram);
        QFETCH(QString, exec);
        StorageFixture fx;
        fx.openOrganisation();
        const QString programDir = fx.dir.filePath(subdir);
        QDir().mkpath(programDir);
        if (bareProgram)
            QVERIFY(StorageFixture::writeFile(programDir + QStringLiteral("/PLOXA_4x_Access"), "#!/bin/sh\n"));
        auto registry = std::make_shared<DesktopFileTypeRegistry>(false);
        setFileTypeRegistry(registry);
        QCOMPARE(registry->openKey(QStringLiteral(".rml")), 2L);
        QCOMPARE(defaultValue(*registry, QStringLiteral(".rml")), QByteArray("<2>"));

        registerProgram(programDir);

        QVERIFY(G().Dateityp_registriert);
        QCOMPARE(storedFlagRows(), 1L);
        QVERIFY(fx.loggedLabels().isEmpty());
        // What the start-up reads, and what the registry holds as its values.
        QCOMPARE(registry->openKey(QStringLiteral(".rml")), 0L);
        QCOMPARE(defaultValue(*registry, QStringLiteral(".rml")), QByteArray("PLOXA_4x_Access"));
        QCOMPARE(defaultValue(*registry, QStringLiteral("PLOXA_4x_Access")), QByteArray("PLOXA_4x_Access"));
        const QString program = programDir + (bareProgram ? QStringLiteral("/PLOXA_4x_Access")
                                                          : QStringLiteral("/PLOXA_4x_Access.exe"));
        QCOMPARE(defaultValue(*registry, QStringLiteral("PLOXA_4x_Access\\shell\\open\\command")),
                 (program + QStringLiteral(" %1")).toLocal8Bit());

        const QString desktop = readAll(m_home->data(QStringLiteral("applications/PLOXA_4x_Access.desktop")));
        const QString execLine =
            QString(exec).replace(QStringLiteral("%2"), m_home->data(QString())).replace(QStringLiteral("%1"), programDir);
        QVERIFY2(desktop.contains(QStringLiteral("\nExec=") + execLine + QLatin1Char('\n')), qPrintable(desktop));
        // Whatever the Exec line names starts this program.
        const QString started = execLine.section(QLatin1Char(' '), 0, -2).remove(QLatin1Char('"'));
        QCOMPARE(QFileInfo(started).canonicalFilePath(), QFileInfo(program).canonicalFilePath());
        QVERIFY(desktop.startsWith(QStringLiteral("[Desktop Entry]\n")));
        QVERIFY(desktop.contains(QStringLiteral("\nMimeType=application/x-ploxa-rml;\n")));
        const QString package = readAll(m_home->data(QStringLiteral("mime/packages/PLOXA_4x_Access.xml")));
        QVERIFY(package.contains(QStringLiteral("<mime-type type=\"application/x-ploxa-rml\">")));
        QVERIFY(package.contains(QStringLiteral("<glob pattern=\"*.rml\"/>")));
        QVERIFY(readAll(m_home->config(QStringLiteral("mimeapps.list")))
                    .contains(QStringLiteral("[Default Applications]\n"
                                             "application/x-ploxa-rml=PLOXA_4x_Access.desktop;")));
    }

    void foreignAssociationIsOverwritten()
    {
        StorageFixture fx;
        fx.openOrganisation();
        auto registry = std::make_shared<DesktopFileTypeRegistry>(false);
        setFileTypeRegistry(registry);
        registerProgram(fx.dir.path());
        const QString mimeapps = m_home->config(QStringLiteral("mimeapps.list"));
        const QString others = QStringLiteral("# mine\n[Added Associations]\ntext/plain=gedit.desktop;\n\n"
                                              "[Default Applications]\ntext/plain=gedit.desktop;\n");
        QVERIFY(StorageFixture::writeFile(
            mimeapps, (others + QStringLiteral("application/x-ploxa-rml=fremd.desktop;PLOXA_4x_Access.desktop;\n")).toUtf8()));
        QCOMPARE(defaultValue(*registry, QStringLiteral(".rml")), QByteArray("fremd"));

        registerProgram(fx.dir.path());
        QCOMPARE(defaultValue(*registry, QStringLiteral(".rml")), QByteArray("PLOXA_4x_Access"));
        QCOMPARE(readAll(mimeapps), others + QStringLiteral("application/x-ploxa-rml=PLOXA_4x_Access.desktop;\n"));
    }

    void unwritableDesktopRegistersNothing()
    {
        StorageFixture fx;
        fx.openOrganisation();
        // A file where the data directory should be: nothing can be created.
        QVERIFY(StorageFixture::writeFile(m_home->home.path() + QStringLiteral("/data"), "x"));
        setFileTypeRegistry(std::make_shared<DesktopFileTypeRegistry>(false));
        registerProgram(fx.dir.path());
        QVERIFY(!G().Dateityp_registriert);
        QCOMPARE(G().RS_Optionen->recordCount(), 0L);
        QVERIFY(!QFileInfo::exists(m_home->config(QStringLiteral("mimeapps.list"))));
        QVERIFY(fx.loggedLabels().isEmpty());
    }

    void sumOfTheCodes_data()
    {
        QTest::addColumn<QList<long>>("codes");
        QTest::addColumn<int>("calls");
        QTest::addColumn<bool>("registered");
        QTest::newRow("all succeed") << QList<long>{0, 0, 0, 0, 0, 0} << 6 << true;
        QTest::newRow("first key denied") << QList<long>{5, 0, 0, 0, 0, 0} << 6 << false;
        QTest::newRow("last value denied") << QList<long>{0, 0, 0, 0, 0, 5} << 6 << false;
        QTest::newRow("code beyond 16 bits") << QList<long>{70000, 0, 0, 0, 0, 0} << 1 << false;
        QTest::newRow("sum overflows") << QList<long>{30000, 30000, 0, 0, 0, 0} << 2 << false;
    }

    void sumOfTheCodes()
    {
        QFETCH(QList<long>, codes);
        QFETCH(int, calls);
        QFETCH(bool, registered);
        StorageFixture fx;
        fx.openOrganisation();
        auto registry = std::make_shared<ScriptedRegistry>();
        std::copy(codes.begin(), codes.end(), registry->codes.begin());
        setFileTypeRegistry(registry);
        registerProgram(fx.dir.path());
        QCOMPARE(registry->calls, calls);
        QCOMPARE(registry->flushed, 1);
        QCOMPARE(G().Dateityp_registriert, registered);
        // The options record is saved once on success and not touched otherwise.
        QCOMPARE(G().RS_Optionen->recordCount(), registered ? 1L : 0L);
        QCOMPARE(storedFlagRows(), registered ? 1L : 0L);
        QVERIFY(fx.loggedLabels().isEmpty());
        QVERIFY(platform::MessageService::recorded().empty());
    }
};

QTEST_MAIN(TestFileType)
#include "tst_filetype.moc"
