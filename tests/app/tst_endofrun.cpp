// The built program, started as a clerk starts it in a fresh program
// directory and ended the way a clerk ends it: through its menu or by
// closing the record window, with real key presses. Afterwards every
// database must stand complete on its own.
//
// The program runs on Qt's VNC platform: headless like the offscreen one,
// but it takes key presses from outside the process, which this test sends
// as a VNC viewer would. Nothing in the program knows it is being tested.

#include "engine/Database.h"
#include "engine/Recordset.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QLibraryInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QtEndian>

namespace {

const QString kProgramDir = QStringLiteral(PLOXA_PROGRAM_DIR);
const QString kExecutable = QStringLiteral("PLOXA_4x_Access");

// X11 key symbols, as the remote-framebuffer protocol carries them.
constexpr quint32 XK_Alt_L = 0xffe9;
constexpr quint32 XK_Control_L = 0xffe3;
constexpr quint32 XK_F4 = 0xffc1;

// A keyboard on the far side of a remote-framebuffer connection.
class RemoteKeyboard
{
public:
    // Connects and runs the handshake; the server answers it only from its
    // event loop, so a completed handshake means the program is up.
    QString connectTo(quint16 port, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (m_socket.state() != QAbstractSocket::ConnectedState) {
            if (clock.elapsed() > timeoutMs)
                return QStringLiteral("no connection");
            m_socket.connectToHost(QHostAddress::LocalHost, port);
            if (!m_socket.waitForConnected(500)) {
                m_socket.abort();
                QThread::msleep(100);
            }
        }
        const QByteArray version = read(12, timeoutMs);
        if (!version.startsWith("RFB "))
            return QStringLiteral("no server greeting");
        // Protocol 3.3: the server names the security type, which must be "none".
        m_socket.write("RFB 003.003\n");
        if (qFromBigEndian<quint32>(read(4, timeoutMs).constData()) != 1)
            return QStringLiteral("server asks for a password");
        m_socket.write(QByteArray(1, '\1')); // shared session
        const QByteArray init = read(24, timeoutMs);
        if (init.size() != 24)
            return QStringLiteral("no server init");
        read(int(qFromBigEndian<quint32>(init.constData() + 20)), timeoutMs); // the desktop's name
        return {};
    }

    // The key, held down with the modifier if one is given.
    void stroke(quint32 keysym, quint32 modifier = 0)
    {
        if (modifier)
            send(modifier, true);
        send(keysym, true);
        send(keysym, false);
        if (modifier)
            send(modifier, false);
    }
    // Gives the program time to open a menu before the next key.
    static void pause() { QThread::msleep(400); }

private:
    void send(quint32 keysym, bool down)
    {
        QByteArray message(8, '\0');
        message[0] = 4; // key event
        message[1] = down ? 1 : 0;
        qToBigEndian(keysym, message.data() + 4);
        m_socket.write(message);
        m_socket.waitForBytesWritten(1000);
    }

    QByteArray read(int n, int timeoutMs)
    {
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        while (out.size() < n && clock.elapsed() < timeoutMs) {
            if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(200))
                continue;
            out += m_socket.read(n - out.size());
        }
        return out;
    }

    QTcpSocket m_socket;
};

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QStringList journalsIn(const QString &dir)
{
    QStringList found;
    QDirIterator it(dir, {QStringLiteral("*-wal"), QStringLiteral("*-shm"), QStringLiteral("*-journal")},
                    QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(dir).relativeFilePath(it.next());
    return found;
}

} // namespace

class TestEndOfRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString plugin = QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms/libqvnc.so");
        if (!QFile::exists(plugin))
            QSKIP("Qt's VNC platform plugin is not installed");
    }

    void endingLeavesEveryDatabaseWhole_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("b&eenden in the menu Datei") << "menu";
        QTest::newRow("closing the record window") << "record window";
    }

    void endingLeavesEveryDatabaseWhole()
    {
        QFETCH(QString, how);
        QTemporaryDir program;
        QTemporaryDir temp; // the instance lock of this run alone
        QVERIFY(program.isValid() && temp.isValid());
        for (const QString &name : {kExecutable, QStringLiteral("PX_Org.mdb"), QStringLiteral("px_4x_b.mdb"),
                                    QStringLiteral("px_4x_m.mdb"), QStringLiteral("hilfe.htm")})
            QVERIFY2(QFile::copy(kProgramDir + QLatin1Char('/') + name, program.filePath(name)), qPrintable(name));

        const quint16 port = freePort();
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("vnc:size=1280x1024:port=%1").arg(port));
        env.insert(QStringLiteral("TMPDIR"), temp.path());
        run.setProcessEnvironment(env);
        run.setWorkingDirectory(program.path());
        run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        run.start(program.filePath(kExecutable), {});
        QVERIFY(run.waitForStarted());
        const auto stop = qScopeGuard([&run] {
            if (run.state() != QProcess::NotRunning) {
                run.kill();
                run.waitForFinished();
            }
        });
        RemoteKeyboard keys;
        const QString failure = keys.connectTo(port, 30000);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        RemoteKeyboard::pause();
        if (how == QLatin1String("menu")) {
            keys.stroke('d', XK_Alt_L);
            RemoteKeyboard::pause();
            keys.stroke('e');
        } else {
            keys.stroke(XK_F4, XK_Control_L);
        }
        QVERIFY2(run.waitForFinished(30000), "the program did not end");
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(journalsIn(program.path()), QStringList());

        // The options record the first start wrote stands in the file itself:
        // a copy of the database file alone still holds it.
        QTemporaryDir copy;
        const QString copied = copy.filePath(QStringLiteral("PX_Org.mdb"));
        QVERIFY(QFile::copy(program.filePath(QStringLiteral("DB/px_org.mdb")), copied));
        auto db = engine::Database::open(copied, false, false, QStringLiteral("; pwd=wexor"));
        QCOMPARE(db->openRecordset(QStringLiteral("Optionen"))->recordCount(), 1L);
        db->close();
        engine::releaseFile(copied);
    }
};

QTEST_GUILESS_MAIN(TestEndOfRun)
#include "tst_endofrun.moc"
