#include "SelectFixture.h"

#include "engine/Recordset.h"

#include <QAbstractItemModelTester>

class TestViewTableModel : public QObject
{
    Q_OBJECT
    SelectFixture m_fx;
    static constexpr int kRows = 300; // more than two blocks of the row cache

    void point(BoundView &view, const QString &where)
    {
        view.setDatabaseName(m_fx.workPath);
        view.setRecordSource(QStringLiteral("SELECT * FROM betrieb %1 ORDER BY [betr-nr] DESC").arg(where));
        view.Refresh();
    }

private slots:
    void init()
    {
        QVERIFY(m_fx.setUp());
        G().Datenbank_Daten->beginTrans();
        for (int i = 0; i < kRows; ++i)
            m_fx.business(QStringLiteral("01001000"), QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')),
                          i % 50 == 5 ? QVariant() : QVariant(QStringLiteral("Name %1").arg(i)));
        G().Datenbank_Daten->commitTrans();
    }

    void cleanup() { m_fx.tearDown(); }

    void showsTheRowsAcrossRefreshes()
    {
        BoundView view(QStringLiteral("data"));
        ViewTableModel model(&view, {{QStringLiteral("Nummer"), QStringLiteral("betr-nr")},
                                     {QStringLiteral("Name"), QStringLiteral("b-eintr-name")},
                                     {QStringLiteral("fehlt"), QStringLiteral("gibt-es-nicht")}});
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 0);
        point(view, QString());
        QCOMPARE(model.rowCount(), kRows);
        // Read out of order, so that the block of one row cannot serve another by luck.
        const std::pair<int, int> cells[] = {{kRows - 1, 0}, {0, 299}, {128, 171}, {127, 172}, {294, 5}};
        for (const auto &[row, i] : cells) {
            QCOMPARE(model.data(model.index(row, 0)).toString(), QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')));
            QCOMPARE(model.data(model.index(row, 1)), i == 5 ? QVariant() : QVariant(QStringLiteral("Name %1").arg(i)));
            QVERIFY(!model.data(model.index(row, 2)).isValid());
            QVERIFY(!(model.flags(model.index(row, 0)) & Qt::ItemIsEditable));
        }
        point(view, QStringLiteral("WHERE [betr-nr] LIKE '00*'"));
        QCOMPARE(model.rowCount(), 100);
        QCOMPARE(model.cellText(0, 0), QStringLiteral("0099"));
        point(view, QStringLiteral("WHERE [betr-nr] = 'x'"));
        QCOMPARE(model.rowCount(), 0);
        view.setDatabaseName(QString());
        view.setRecordSource(QString());
        view.Refresh();
        QCOMPARE(model.rowCount(), 0);
    }

    void keepsGridAndRecordsetInStep()
    {
        BoundView view(QStringLiteral("data"));
        ViewTableModel model(&view, {{QStringLiteral("Nummer"), QStringLiteral("betr-nr")},
                                     {QStringLiteral("Name"), QStringLiteral("b-eintr-name")}});
        QTableView grid;
        model.attach(&grid);
        point(view, QString());
        const auto rs = view.Recordset();
        QCOMPARE(grid.currentIndex().row(), 0);

        int repositions = 0;
        connect(&view, &BoundView::Reposition, this, [&] { ++repositions; });
        grid.setCurrentIndex(model.index(200, 1));
        QCOMPARE(rs->value(QStringLiteral("betr-nr")).toString(), QStringLiteral("0099"));
        QCOMPARE(repositions, 1);

        rs->findFirst(QStringLiteral("[betr-nr] = '0257'"));
        QCOMPARE(grid.currentIndex(), model.index(42, 1)); // the column the user was in stays
        QCOMPARE(grid.selectionModel()->selectedRows().size(), 1);
        rs->moveLast();
        QCOMPARE(grid.currentIndex().row(), kRows - 1);

        point(view, QStringLiteral("WHERE [betr-nr] LIKE '01*'"));
        QCOMPARE(grid.currentIndex().row(), 0);
        point(view, QStringLiteral("WHERE [betr-nr] = 'x'"));
        QVERIFY(!grid.currentIndex().isValid());
    }
};

QTEST_MAIN(TestViewTableModel)
#include "tst_viewtablemodel.moc"
