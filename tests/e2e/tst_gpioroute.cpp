#include "ChildProcess.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/types.h>

// The executable measures for a few seconds before its main window loads
// and writes the first byte, which is when the lines are asked for.
constexpr int HandOverTimeoutMs = 60000;

class TestGpioRoute : public QObject
{
    Q_OBJECT

private slots:
    void malformedFormRefusedBeforeAnyWindow_data();
    void malformedFormRefusedBeforeAnyWindow();
    void missingChipToldOnceThenVirtual_data();
    void missingChipToldOnceThenVirtual();

private:
    // A refusal must come before the window system opens: where the tool
    // would open it, a platform that does not exist makes Qt abort it.
    QString m_platform = QStringLiteral("offscreen");
    [[nodiscard]] bool start(QProcess &process, const QByteArray &route, const QString &tracePath);

    QTemporaryDir m_dir;
};

// False, with the test failed and told why, when the child did not start.
bool TestGpioRoute::start(QProcess &process, const QByteArray &route, const QString &tracePath)
{
    QProcessEnvironment env = ChildProcess::environment();
    env.insert("QT_QPA_PLATFORM", m_platform);
    env.insert("QUARNET_PORT", QString::fromLocal8Bit(route));
    env.insert("QUARNET_PORT_TRACE", tracePath);
    process.setProcessEnvironment(env);
    process.start(QUARNET_EXECUTABLE, {});
    if (process.waitForStarted())
        return true;
    QTest::qFail(qPrintable("quarnet did not start: " + ChildProcess::failure(process)), __FILE__, __LINE__);
    return false;
}

void TestGpioRoute::malformedFormRefusedBeforeAnyWindow_data()
{
    QTest::addColumn<QByteArray>("route");
    QTest::addColumn<QString>("why");
    QTest::newRow("line twice") << QByteArray("gpio:gpiochip0:17,18,18,22") << "line 18 named twice";
    QTest::newRow("three lines") << QByteArray("gpio:gpiochip0:17,18,27") << "3 lines";
    QTest::newRow("six lines") << QByteArray("gpio:gpiochip0:17,18,27,22,23,24") << "6 lines";
    QTest::newRow("not a number") << QByteArray("gpio:gpiochip0:17,18,x,22") << "\"x\" is not";
    QTest::newRow("no chip") << QByteArray("gpio:17,18,27,22") << "no chip";
}

// Exit status 2 within moments, long before the start-up window's tick,
// the reason with the line set's form, then the accepted forms, and nothing
// written.
void TestGpioRoute::malformedFormRefusedBeforeAnyWindow()
{
    QFETCH(QByteArray, route);
    QFETCH(QString, why);
    const QString tracePath = m_dir.filePath("malformed");
    QProcess process;
    m_platform = ChildProcess::NoWindowSystem;
    const bool started = start(process, route, tracePath);
    m_platform = QStringLiteral("offscreen");
    if (!started)
        return;
    QVERIFY(process.waitForFinished(ChildProcess::RefusalBoundMs));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    const QStringList lines = QString::fromLocal8Bit(process.readAllStandardError())
                                  .split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.first().startsWith("quarnet: QUARNET_PORT=" + route + " is refused: "),
             qPrintable(lines.first()));
    QVERIFY2(lines.first().contains(why), qPrintable(lines.first()));
    QVERIFY2(lines.first().contains("the form is gpio:[CHIP:]L0,L1,L2,L3[,L6]"), qPrintable(lines.first()));
    QVERIFY2(lines.last().startsWith("quarnet: accepted forms: ")
                 && lines.last().endsWith("gpio:[CHIP:]L0,L1,L2,L3[,L6]"),
             qPrintable(lines.last()));
    QVERIFY(!QFile::exists(tracePath) || QFile(tracePath).size() == 0);
}

void TestGpioRoute::missingChipToldOnceThenVirtual_data()
{
    QTest::addColumn<QByteArray>("route");
    QTest::addColumn<QString>("missing"); // the chip the machine must lack
    QTest::addColumn<QString>("told");
    QTest::newRow("offsets") << QByteArray("gpio:gpiochip9:17,18,27,22") << "/dev/gpiochip9"
                             << "quarnet: GPIO lines gpiochip9:17,18,27,22: no GPIO chip gpiochip9";
    QTest::newRow("names") << QByteArray("gpio:GPIO17,GPIO18,GPIO27,GPIO22") << "/dev/gpiochip0"
                           << "quarnet: GPIO lines GPIO17,GPIO18,GPIO27,GPIO22: no GPIO chip has a line "
                              "named GPIO17, GPIO18, GPIO27, GPIO22 (this machine has no GPIO chip";
}

// The real libgpiod on a machine with no GPIO chip: one line saying so when
// the main window writes its first byte, then the tool runs on.
void TestGpioRoute::missingChipToldOnceThenVirtual()
{
    QFETCH(QByteArray, route);
    QFETCH(QString, missing);
    QFETCH(QString, told);
    if (QFile::exists(missing))
        QSKIP(qPrintable("this machine has a " + missing + ", which this test expects to be missing"));
    const QString tracePath = m_dir.filePath(QTest::currentDataTag());
    QProcess process;
    if (!start(process, route, tracePath))
        return;
    QTRY_VERIFY_WITH_TIMEOUT(QFile(tracePath).size() > 0, HandOverTimeoutMs);
    QCOMPARE(process.state(), QProcess::Running);
    QVERIFY2(ChildProcess::signal(process, SIGTERM), qPrintable(ChildProcess::failure(process)));
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);

    // Qt may add its own warnings (no XDG_RUNTIME_DIR); only the tool's lines count.
    const QStringList lines = QString::fromLocal8Bit(process.readAllStandardError())
                                  .split('\n', Qt::SkipEmptyParts)
                                  .filter(QRegularExpression("^quarnet: "));
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith(told), qPrintable(lines.first()));
    QVERIFY2(lines.first().endsWith("using a virtual port instead"), qPrintable(lines.first()));
    QFile trace(tracePath);
    QVERIFY(trace.open(QIODevice::ReadOnly));
    const QList<QByteArray> writes = trace.readAll().trimmed().split('\n');
    QVERIFY(writes.size() >= 2);
    for (const QByteArray &write : writes)
        QVERIFY2(write.endsWith(" 0x378 64"), write.constData());
}

QTEST_GUILESS_MAIN(TestGpioRoute)
#include "tst_gpioroute.moc"
