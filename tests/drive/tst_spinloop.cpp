#include "SpinLoop.h"

#include <QTest>
#include <chrono>

// The clock now times the steps, but the loop still has to burn the time
// between two clock reads: a build whose optimiser dropped or folded it
// would turn every wait into a tight stream of clock reads, and the loop
// count that stands in for a stalled clock into nothing.
class TestSpinLoop : public QObject
{
    Q_OBJECT
private slots:
    void largeBoundTakesTheTimeItsIterationsNeed();
};

// No processor runs this loop faster than one iteration per cycle, and none
// clocks at 10 GHz. Only the lower bound is checked: a loaded machine may
// take any time longer.
void TestSpinLoop::largeBoundTakesTheTimeItsIterationsNeed()
{
    constexpr double kIterations = 1e9;
    constexpr double kFastestPerSecond = 1e10;
    const auto start = std::chrono::steady_clock::now();
    SpinLoop(kIterations);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    QVERIFY2(took.count() >= kIterations / kFastestPerSecond,
             qPrintable(QStringLiteral("%1 iterations in %2 s").arg(kIterations).arg(took.count())));
}

QTEST_GUILESS_MAIN(TestSpinLoop)
#include "tst_spinloop.moc"
