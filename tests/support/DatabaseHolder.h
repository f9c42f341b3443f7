#pragma once

// A second program instance, in a process of its own, that holds a working
// database open and commits into it when told to. Locks between processes are
// what a compaction has to respect; a second connection inside the test's own
// process would share its locks with the program under test.

#include <QProcess>
#include <QString>

class DatabaseHolder
{
public:
    ~DatabaseHolder() { close(); }

    // "open" once the holder has the file open and has read from it,
    // otherwise "error <number>".
    QString open(const QString &path)
    {
        m_process.start(QStringLiteral(PLOXA_DB_HOLDER), {path});
        return m_process.waitForStarted(10000) ? answer() : QStringLiteral("not started");
    }

    // Runs one statement in the holder: "ok" or "error <number>".
    QString run(const QString &sql)
    {
        m_process.write(sql.toUtf8() + '\n');
        return answer();
    }

    // Hands lines to the holder without waiting for its answers; answer()
    // collects each of them later.
    void send(const QString &lines)
    {
        m_process.write(lines.toUtf8());
        m_process.waitForBytesWritten(10000);
    }
    QString answer()
    {
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(10000))
                return {};
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }

    void close()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
    }

private:
    QProcess m_process;
};
