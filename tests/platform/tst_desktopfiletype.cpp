#include "DesktopHome.h"
#include "platform/Cp1252.h"
#include "platform/DesktopFileTypeRegistry.h"

#include <QTest>
#include <memory>

#include <glib.h>

using platform::DesktopFileTypeRegistry;

namespace {

const QString kType = QStringLiteral("PLOXA_4x_Access");
const QString kCommandKey = QStringLiteral("PLOXA_4x_Access\\shell\\open\\command");

constexpr auto readAll = &DesktopHome::readAll;
constexpr auto writeAll = &DesktopHome::writeAll;
constexpr auto defaultValue = &DesktopHome::defaultValue<DesktopFileTypeRegistry>;

} // namespace

class TestDesktopFileType : public QObject
{
    Q_OBJECT
    std::unique_ptr<DesktopHome> m_home;
    DesktopFileTypeRegistry m_registry{false};

    QString mimeApps() const { return m_home->config(QStringLiteral("mimeapps.list")); }
    QString desktopEntry() const { return m_home->data(QStringLiteral("applications/PLOXA_4x_Access.desktop")); }

private slots:
    // Every test gets a desktop of its own.
    void init() { m_home = std::make_unique<DesktopHome>(); }

    // What goes in as description and command comes back out, whatever the
    // desktop entry has to escape or quote on the way.
    void valuesSurviveTheEntry_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("programDir");
        QTest::newRow("plain") << "PLOXA_4x_Access" << "ploxa";
        QTest::newRow("leading blank, umlaut") << " Übertragungsdatei" << "Meine Programme";
        QTest::newRow("backslash and line break") << "a\\b\nc" << "back\\slash";
        QTest::newRow("quote, dollar, backquote") << "\"x\" $y" << "it's \"$HOME\" `x`";
        QTest::newRow("shell characters") << "a;b" << "a&b|c;d<e>f*g?h#i(j)~k";
    }

    void valuesSurviveTheEntry()
    {
        QFETCH(QString, description);
        QFETCH(QString, programDir);
        const QString program = m_home->home.path() + QLatin1Char('/') + programDir + QStringLiteral("/PLOXA_4x_Access");
        QCOMPARE(m_registry.setDefaultValue(kType, QString(), description), 0L);
        QCOMPARE(m_registry.setDefaultValue(kType, QStringLiteral("shell\\open\\command"), program + QStringLiteral(" %1")),
                 0L);
        QCOMPARE(defaultValue(m_registry, kType), platform::toCp1252(description));
        QCOMPARE(defaultValue(m_registry, kCommandKey), platform::toCp1252(program + QStringLiteral(" %1")));
        // The desktop splits the Exec value as a shell would and starts its
        // first word with the file in place of %f.
        GKeyFile *entry = g_key_file_new();
        QVERIFY(g_key_file_load_from_file(entry, QFile::encodeName(desktopEntry()).constData(), G_KEY_FILE_NONE,
                                          nullptr));
        gchar *exec = g_key_file_get_string(entry, "Desktop Entry", "Exec", nullptr);
        g_key_file_free(entry);
        gchar **argv = nullptr;
        const bool split = exec && g_shell_parse_argv(exec, nullptr, &argv, nullptr);
        const QStringList words = split ? QStringList{QString::fromUtf8(argv[0]), QString::fromUtf8(argv[1])}
                                        : QStringList();
        g_strfreev(argv);
        g_free(exec);
        QCOMPARE(words, QStringList({program, QStringLiteral("%f")}));
    }

    // An entry the user or the desktop extended keeps what they put there.
    void entryKeepsWhatOthersAdded()
    {
        QVERIFY(writeAll(desktopEntry(), "# von Hand\n[Desktop Entry]\nType=Application\nName=Alt\n"
                                         "Name[de]=\xc3\x9c" "bertragung\nComment=frei\n\n"
                                         "[Desktop Action neu]\nName=Neu\nExec=neu\n"));
        QCOMPARE(m_registry.setDefaultValue(kType, QString(), QStringLiteral("PLOXA_4x_Access")), 0L);
        QCOMPARE(m_registry.setDefaultValue(kType, QStringLiteral("shell\\open\\command"),
                                            QStringLiteral("/opt/ploxa/PLOXA_4x_Access %1")),
                 0L);
        const QByteArray entry = readAll(desktopEntry());
        for (const QByteArray &kept : {QByteArray("# von Hand\n"), QByteArray("\nName[de]=\xc3\x9c" "bertragung\n"),
                                       QByteArray("\nComment=frei\n"), QByteArray("\n[Desktop Action neu]\nName=Neu\nExec=neu\n")})
            QVERIFY2(entry.contains(kept), entry.constData());
        QCOMPARE(defaultValue(m_registry, kType), QByteArray("PLOXA_4x_Access"));
        QCOMPARE(defaultValue(m_registry, kCommandKey), QByteArray("/opt/ploxa/PLOXA_4x_Access %1"));
    }

    // A list the desktop could not read, or one in which the new line would
    // not be the default it reads, stays as it was and the call fails: the
    // type would never open with this program.
    void unreadableListStaysUntouched_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::newRow("line of no known form") << QByteArray("[Default Applications]\ntext/plain=gedit.desktop;\nkaputt\n");
        QTest::newRow("entry before any group") << QByteArray("text/plain=gedit.desktop;\n[Default Applications]\n");
        QTest::newRow("not UTF-8") << QByteArray("[Default Applications]\ntext/plain=g\xe9" "dit.desktop;\n");
        QTest::newRow("later line names another default")
            << QByteArray("[Default Applications]\napplication/x-ploxa-rml=fremd.desktop;\n\n"
                          "[Default Applications]\napplication/x-ploxa-rml=anders.desktop;\n");
    }

    void unreadableListStaysUntouched()
    {
        QFETCH(QByteArray, list);
        QVERIFY(writeAll(mimeApps(), list));
        QVERIFY(m_registry.setDefaultValue(QStringLiteral(".rml"), QString(), kType) != 0L);
        QCOMPARE(readAll(mimeApps()), list);
        QVERIFY(defaultValue(m_registry, QStringLiteral(".rml")) != kType.toLatin1());
    }
};

QTEST_MAIN(TestDesktopFileType)
#include "tst_desktopfiletype.moc"
