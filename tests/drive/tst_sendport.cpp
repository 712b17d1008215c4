#include "DriveFakes.h"

#include <QTest>

class TestSendPort : public QObject
{
    Q_OBJECT
private slots:
    void addressText_data();
    void addressText();
    void initDriveWritesPhasesOffToPresetPort();
    void settingsChangesWriteNothing();
    void addressChangeMidRunMovesNextWrite();
};

void TestSendPort::addressText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("convertible");
    QTest::addColumn<int>("port");

    QTest::newRow("&H378") << "&H378" << true << 888;
    QTest::newRow("&H278") << "&H278" << true << 632;
    QTest::newRow("&h3bc") << "&h3bc" << true << 956;
    QTest::newRow("blanks around") << "  &H378\t" << true << 888;
    QTest::newRow("decimal") << "888" << true << 888;
    QTest::newRow("signed") << "+632" << true << 632;
    QTest::newRow("leading zeros") << "00956" << true << 956;
    QTest::newRow("top of range") << "32767" << true << 32767;
    QTest::newRow("bottom of range") << "-32768" << true << -32768;
    QTest::newRow("&HFFFF negative") << "&HFFFF" << true << -1;
    QTest::newRow("&H8000 negative") << "&H8000" << true << -32768;
    QTest::newRow("partly typed &H3") << "&H3" << true << 3;

    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("blanks only") << "   " << false << 0;
    QTest::newRow("bare &H") << "&H" << false << 0;
    QTest::newRow("bare &") << "&" << false << 0;
    QTest::newRow("word") << "porta" << false << 0;
    QTest::newRow("sign only") << "-" << false << 0;
    QTest::newRow("above 16 bits") << "32768" << false << 0;
    QTest::newRow("below 16 bits") << "-32769" << false << 0;
    QTest::newRow("long decimal") << "88800000000000000000" << false << 0;
    QTest::newRow("5 hex digits") << "&H10378" << false << 0;
    QTest::newRow("octal") << "&O777" << false << 0;
    QTest::newRow("bad hex digit") << "&H37G" << false << 0;
    QTest::newRow("inner blank") << "&H3 78" << false << 0;
    QTest::newRow("signed hex") << "&H-1" << false << 0;
    QTest::newRow("exponent") << "8e2" << false << 0;
    QTest::newRow("non-ASCII digits") << QString::fromUtf8("\u0668\u0668\u0668") << false << 0;
}

// A text that names no port writes nowhere, but the byte is still assembled.
void TestSendPort::addressText()
{
    QFETCH(QString, text);
    QFETCH(bool, convertible);
    QFETCH(int, port);

    DriveRig rig;
    rig.state.OutBit[2] = 1;
    rig.drive.SetPortAddress(text);
    rig.drive.SendPort();

    QCOMPARE(rig.state.PortByte, 68);
    const QVector<Write> expected = convertible ? QVector<Write>{{port, 68}} : QVector<Write>{};
    QCOMPARE(rig.port.writes, expected);
}

void TestSendPort::initDriveWritesPhasesOffToPresetPort()
{
    DriveRig rig(false);
    rig.state.StepPhase = 2;
    rig.state.OutBit[1] = 1; // a phase line left on must be off in the first byte

    rig.drive.InitDrive(QStringLiteral("&H378"));

    QCOMPARE(rig.port.writes, (QVector<Write>{{0x378, 64}}));
    QCOMPARE(rig.state.StepSec, 1);
    QCOMPARE(rig.state.StepPhase, 2);
    QCOMPARE(rig.modes.FullStep, -1);
    QCOMPARE(rig.modes.HalfStep, 0);
    QCOMPARE(rig.display.text, QStringLiteral("untouched"));
    QCOMPARE(rig.display.gaugeY, -12345.0f);
}

void TestSendPort::settingsChangesWriteNothing()
{
    DriveRig rig;
    rig.drive.SetPortAddress(QStringLiteral("&H278"));
    for (int index = 0; index < 4; ++index)
        rig.drive.StepSpeed(index);
    rig.drive.SelectMode(0);
    rig.drive.SelectMode(1);
    rig.drive.StopMotor();
    QVERIFY(rig.port.writes.isEmpty());

    rig.drive.SendPort();
    QCOMPARE(rig.port.writes, (QVector<Write>{{0x278, 64}}));
}

void TestSendPort::addressChangeMidRunMovesNextWrite()
{
    DriveRig rig;
    rig.pump.script[2] = [&] { rig.drive.SetPortAddress(QStringLiteral("&H3BC")); };
    rig.pump.script[3] = [&] { rig.drive.SetPortAddress(QString()); };
    rig.pump.script[4] = [&] { rig.drive.SetPortAddress(QStringLiteral("&H278")); };
    rig.stopAtPass(5);
    rig.drive.RunMotor();

    // While running each port keeps its last byte; once the run ends, the ports
    // it left with a winding on are switched off as well.
    QCOMPARE(rig.port.writes, (QVector<Write>{{0x378, 68}, {0x3BC, 66}, {0x278, 65}, {0x278, 64},
                                              {0x3BC, 64}, {0x378, 64}}));
}

QTEST_GUILESS_MAIN(TestSendPort)
#include "tst_sendport.moc"
