// The progress window of a selection run: its look and its step rule.
#include "browser/Progres.h"

#include <QProgressBar>
#include <QTest>

class TestProgress : public QObject
{
    Q_OBJECT

private slots:
    void window()
    {
        TGaugeWindow gauge;
        QCOMPARE(gauge.windowTitle(), QStringLiteral("Selecting..."));
        QCOMPARE(gauge.size(), QSize(328, 62));
        QCOMPARE(gauge.ProgressGauge->geometry(), QRect(8, 8, 305, 21));
        QVERIFY(gauge.ProgressGauge->isTextVisible());
        gauge.ShowProgress();
        QVERIFY(gauge.isVisible());
        gauge.HideProgress();
        QVERIFY(!gauge.isVisible());
    }

    void stepRule_data()
    {
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("step");
        QTest::addColumn<QList<int>>("shown"); // positions that move the bar
        QTest::newRow("small range shows every position") << 150 << 1 << QList<int> {0, 1, 2, 3};
        QTest::newRow("below 100") << 40 << 0 << QList<int> {0, 1, 2, 3};
        QTest::newRow("large range") << 1000 << 10 << QList<int> {0, 10, 20};
        QTest::newRow("truncated step") << 8050 << 80 << QList<int> {0, 80, 160};
    }

    void stepRule()
    {
        QFETCH(int, maximum);
        QFETCH(int, step);
        QFETCH(QList<int>, shown);
        TGaugeWindow gauge;
        gauge.SetProgressRange(0, maximum);
        QCOMPARE(gauge.ProgressStep, step);
        QCOMPARE(gauge.ProgressGauge->maximum(), maximum);
        QList<int> moved;
        for (int i = 0; i <= shown.last(); ++i) {
            const int before = gauge.ProgressGauge->value();
            gauge.ReportProgress(i);
            if (gauge.ProgressGauge->value() != before || i == 0)
                moved << i;
        }
        QCOMPARE(moved, shown);
    }

    void nextRunStartsAtZero()
    {
        TGaugeWindow gauge;
        gauge.SetProgressRange(0, 1000);
        gauge.ReportProgress(500);
        gauge.SetProgressRange(0, 1000);
        QCOMPARE(gauge.ProgressGauge->value(), 500); // kept while hidden
        gauge.ReportProgress(0);
        QCOMPARE(gauge.ProgressGauge->value(), 0);
    }
};

QTEST_MAIN(TestProgress)
#include "tst_progress.moc"
