// Holds a database open in a process of its own, as a second instance of the
// program does: opens the file given as its argument, answers "open", then
// runs each line of its input as a statement and answers "ok" or "error"
// with the number; a line "WAIT <ms>" only waits that long, so that a lock
// taken before ends while the program under test is busy. It lets go of
// the file when its input ends.

#include "engine/Database.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QThread>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QTextStream in(stdin);
    QTextStream out(stdout);
    std::shared_ptr<engine::Database> db;
    try {
        db = engine::Database::open(QString::fromLocal8Bit(argv[1]));
    } catch (const engine::EngineError &e) {
        out << "error " << e.number() << Qt::endl;
        return 1;
    }
    out << "open" << Qt::endl;
    QString line;
    while (in.readLineInto(&line)) {
        if (line.startsWith(QLatin1String("WAIT "))) {
            QThread::msleep(line.mid(5).toULong());
            out << "ok" << Qt::endl;
            continue;
        }
        try {
            db->execute(line);
            out << "ok" << Qt::endl;
        } catch (const engine::EngineError &e) {
            out << "error " << e.number() << Qt::endl;
        }
    }
    db->close();
    engine::releaseFile(QString::fromLocal8Bit(argv[1]));
    return 0;
}
