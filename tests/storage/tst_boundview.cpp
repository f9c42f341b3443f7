#include "StorageFixture.h"

#include <QAbstractItemModelTester>
#include <QTest>

class TestBoundView : public QObject
{
    Q_OBJECT

    static QString fillBusinesses(int count)
    {
        const QString path = G().Verz_DB + QStringLiteral("px_4x_b.mdb");
        auto db = engine::Database::open(path);
        db->beginTrans();
        auto rs = db->openRecordset(QStringLiteral("betrieb"));
        for (int i = 0; i < count; ++i) {
            rs->addNew();
            rs->setValue(QStringLiteral("betr-nr"), QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')));
            rs->setValue(QStringLiteral("b-eintr-name"), QStringLiteral("Firma %1").arg(i));
            rs->update();
        }
        db->commitTrans();
        return path;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }

    void repositionComesInsideTheCausingCall()
    {
        StorageFixture fx;
        const QString path = fillBusinesses(3);
        BoundView view(QStringLiteral("DATA_BETR"));
        int raised = 0;
        QString seen;
        connect(&view, &BoundView::Reposition, &view, [&] {
            ++raised;
            seen = view.currentValue(QStringLiteral("betr-nr")).toString();
        });
        view.setDatabaseName(path);
        view.setRecordSource(QStringLiteral("SELECT * FROM betrieb ORDER BY [betr-nr] DESC;"));
        QCOMPARE(raised, 0); // a new source waits for the refresh
        view.Refresh();
        QCOMPARE(raised, 1);
        QCOMPARE(seen, QStringLiteral("0002"));
        view.Recordset()->moveNext();
        QCOMPARE(raised, 2);
        QCOMPARE(seen, QStringLiteral("0001"));
        view.navigateLast();
        QCOMPARE(seen, QStringLiteral("0000"));
        view.navigateNext(); // the navigator stays on the last row
        QCOMPARE(seen, QStringLiteral("0000"));
        view.navigateFirst();
        QCOMPARE(seen, QStringLiteral("0002"));

        // Detached: the handlers run and find no row.
        const int before = raised;
        view.setDatabaseName(QString());
        view.setRecordSource(QString());
        view.Refresh();
        QCOMPARE(raised, before + 1);
        QVERIFY(!view.Recordset());
        QVERIFY(seen.isEmpty());
        view.navigateNext();
        view.navigatePrevious();
        QCOMPARE(raised, before + 1);

        // A source that fails still tells its handlers that the row is gone.
        view.setDatabaseName(path);
        view.setRecordSource(QStringLiteral("keine_tabelle"));
        QVERIFY_THROWS_EXCEPTION(engine::EngineError, view.Refresh());
        QCOMPARE(raised, before + 2);
        QVERIFY(!view.Recordset());
    }

    void recordSetOutlivesItsView()
    {
        StorageFixture fx;
        const QString path = fillBusinesses(2);
        RS kept;
        {
            BoundView view(QStringLiteral("DATA_BETR"));
            view.setDatabaseName(path);
            view.setRecordSource(QStringLiteral("betrieb"));
            view.Refresh();
            kept = view.Recordset();
        }
        kept->moveNext(); // must not call back into the gone view
        QCOMPARE(kept->absolutePosition(), 1L);
    }
};

QTEST_GUILESS_MAIN(TestBoundView)
#include "tst_boundview.moc"
