#include "engine/Database.h"
#include "engine/Recordset.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace engine;

class TestRecordset : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_path;

private slots:
    void init()
    {
        m_path = m_dir.filePath(QStringLiteral("work.mdb"));
        releaseFile(m_path);
        QFile::remove(m_path);
        QVERIFY(QFile::copy(QStringLiteral(PLOXA_PROGRAM_DIR "/px_4x_b.mdb"), m_path));
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
    }

    void smoke()
    {
        auto db = Database::open(m_path);
        auto rs = db->openRecordset(QStringLiteral("betrieb"));
        QCOMPARE(rs->recordCount(), 0L);
        QVERIFY(rs->eof() && rs->bof());
        for (int i = 0; i < 5; ++i) {
            rs->addNew();
            rs->setValue(QStringLiteral("betr-nr"), QString::number(100 + i));
            rs->setValue(QStringLiteral("betr-hist-nr"), QStringLiteral("0"));
            rs->setValue(QStringLiteral("gem-kz"), QStringLiteral("01001000"));
            QCOMPARE(rs->value(QStringLiteral("betr-nr")).toString(), QString::number(100 + i));
            rs->update();
        }
        QCOMPARE(rs->recordCount(), 5L);
        rs->moveLast();
        QCOMPARE(rs->absolutePosition(), 4L);
        rs->findFirst(QStringLiteral("[betr-nr] = '102'"));
        QVERIFY(!rs->noMatch());
        QCOMPARE(rs->absolutePosition(), 2L);
        auto adr = db->openRecordset(QStringLiteral("betrieb_adresse"));
        adr->addNew();
        adr->setValue(QStringLiteral("betr-nr"), QStringLiteral("102"));
        adr->setValue(QStringLiteral("betr-hist-nr"), QStringLiteral("0"));
        adr->setValue(QStringLiteral("b-adr-art"), QStringLiteral("1"));
        adr->setValue(QStringLiteral("b-ort"), QStringLiteral("Kiel"));
        adr->update();
        auto j = db->openRecordset(QStringLiteral(
            "SELECT DISTINCTROW betrieb.*, betrieb_adresse.* FROM betrieb INNER JOIN betrieb_adresse ON (betrieb.[betr-nr] = "
            "betrieb_adresse.[betr-nr]) AND (betrieb.[betr-hist-nr] = betrieb_adresse.[betr-hist-nr]) WHERE [b-adr-art] = '1';"));
        QCOMPARE(j->recordCount(), 1L);
        QCOMPARE(j->value(QStringLiteral("betrieb.betr-nr")).toString(), QStringLiteral("102"));
        QCOMPARE(j->value(QStringLiteral("b-ort")).toString(), QStringLiteral("Kiel"));
        j->findFirst(QStringLiteral("betrieb.[betr-nr] = '102'"));
        QVERIFY(!j->noMatch());
        auto q = db->openRecordset(QStringLiteral("SELECT * FROM betrieb WHERE [betr-nr] LIKE '10*' ORDER BY [betr-nr] DESC"));
        QCOMPARE(q->recordCount(), 5L);
        QCOMPARE(q->value(QStringLiteral("betr-nr")).toString(), QStringLiteral("104"));
        q->edit();
        q->setValue(QStringLiteral("b-eintr-name"), QStringLiteral("Müller"));
        q->update();
        rs->findFirst(QStringLiteral("[b-eintr-name] = 'MÜLLER'"));
        QVERIFY(!rs->noMatch());
        QCOMPARE(rs->value(QStringLiteral("betr-nr")).toString(), QStringLiteral("104"));
        rs->close();
        QVERIFY_THROWS_EXCEPTION(EngineError, rs->close());
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
