#include "DriveState.h"
#include "FrameControl.h"
#include "frmSplash.h"
#include "GeneralNumber.h"
#include "LayoutChecks.h"
#include "Label3D.h"
#include "RateBar.h"
#include "RecordingBusyWait.h"
#include "RecordingSleeper.h"
#include "ScriptedClock.h"
#include "ScriptedPump.h"
#include "SplashImage.h"
#include "SplashLayout.h"
#include "SplashProgressBar.h"
#include "SurfaceLabel.h"
#include "SurfaceLine.h"
#include "Twips.h"

#include <QFile>
#include <QFontMetricsF>
#include <QImageReader>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

namespace {

// The splash with inert services: its timer never gets to tick in these tests.
struct Rig
{
    DriveState state;
    ScriptedClock clock{{}, ScriptedClock::AfterScript::Zero};
    ScriptedPump pump;
    RecordingSleeper sleeper;
    frmSplash splash{state, {clock, pump, sleeper}, [] {}};

    const SurfaceItem *item(const char *name) const
    {
        return splash.Frame1()->surface().find(QString::fromLatin1(name));
    }
};

QRect pixels(const SurfaceItem &item)
{
    return item.bounds(SurfaceScale::twips());
}

// The columns of one row of the bar that show the block colour.
QList<int> filledColumns(SplashProgressBar &bar)
{
    const QImage image = bar.grab().toImage();
    const QColor block = bar.palette().color(QPalette::Active, QPalette::Highlight);
    QList<int> columns;
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixelColor(x, image.height() / 2) == block)
            columns << x;
    }
    return columns;
}

} // namespace

class TestFrmSplash : public QObject
{
    Q_OBJECT

private slots:
    void windowIsABareFixedCentredBox();
    void labels();
    void titleIsReadFromItsStoredSet();
    void logoIsStretchedOverItsBox();
    void barFill_data();
    void barFill();
    void barLiesAboveTheMark();
    void tickRunsOnceTwoSecondsAfterCreation();
};

void TestFrmSplash::windowIsABareFixedCentredBox()
{
    Rig rig;
    frmSplash &splash = rig.splash;
    const Qt::WindowFlags flags = splash.windowFlags();
    // Frameless, so that X11 window managers get a hint to leave it
    // undecorated, and typed as a splash, which keeps it off the task bar.
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Window);
    QVERIFY(flags & Qt::FramelessWindowHint);
    QVERIFY(splash.testAttribute(Qt::WA_X11NetWmWindowTypeSplash));
    for (Qt::WindowType hint : {Qt::WindowTitleHint, Qt::WindowSystemMenuHint, Qt::WindowCloseButtonHint,
                                Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint})
        QVERIFY(!(flags & hint));
    QCOMPARE(splash.windowTitle(), QString());

    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    QCOMPARE(splash.size(), QSize(492, 252));
    QCOMPARE(splash.minimumSize(), splash.maximumSize());
    const QPoint centre = splash.screen()->availableGeometry().center();
    QVERIFY2((splash.geometry().center() - centre).manhattanLength() <= 1,
             qPrintable(QStringLiteral("centre at %1,%2").arg(splash.geometry().center().x()).arg(splash.geometry().center().y())));
    QCOMPARE(splash.Frame1()->geometry(), QRect(8, 0, 480, 246));
    QCOMPARE(splash.Frame1()->title(), QString());

    // Only the start-up sequence may close it: the timer would go with it.
    QVERIFY(!splash.close());
    QVERIFY(splash.isVisible());
    QVERIFY(splash.Timer1()->isActive());
}

// Each label as its row says: text, font, alignment and place, and its row's
// size or, sized to its text, just the room the text takes on one line. No
// two overlap where it would show, and all lie inside the frame.
void TestFrmSplash::labels()
{
    Rig rig;
    QList<SplashLayout::StyledLabelRow> rows(std::begin(SplashLayout::Labels), std::end(SplashLayout::Labels));
    rows << SplashLayout::StyledLabelRow{SplashLayout::RateLabel};
    QList<LaidOut> boxes;
    for (const SplashLayout::StyledLabelRow &styled : rows) {
        const LabelRow &row = styled.row;
        const auto *label = dynamic_cast<const SurfaceLabel *>(rig.item(row.name));
        QVERIFY2(label, row.name);
        QCOMPARE(label->text(), QString::fromLatin1(row.text));
        QCOMPARE(label->font().family(), QStringLiteral("Arial"));
        QCOMPARE(label->font().pointSizeF(), row.font ? row.font->points : 8.25);
        QCOMPARE(label->font().bold(), styled.bold);
        QCOMPARE(label->font().italic(), styled.italic);
        QCOMPARE(label->alignment(), Qt::Alignment(row.alignment));
        const QRect bounds = pixels(*label);
        boxes << LaidOut{row.name, bounds};
        QCOMPARE(bounds.topLeft(), Twips::point(row.left, row.top));
        if (!styled.sizedToText) {
            QCOMPARE(bounds.size(), Twips::size(row.width, row.height));
            continue;
        }
        const QFontMetricsF metrics(label->font());
        QVERIFY(bounds.width() >= metrics.horizontalAdvance(label->text()));
        QVERIFY(bounds.width() <= metrics.horizontalAdvance(label->text()) + 1);
        QVERIFY(bounds.height() >= metrics.height());
    }
    // The address's box reaches a pixel into the contact line's, below its text.
    const QStringList faults = layoutFaults(rig.splash.Frame1()->rect(), boxes, {{"Label2", "lblCompanyProduct"}});
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join("; ")));
    QCOMPARE(dynamic_cast<const SurfaceLabel *>(rig.item("lblWarning"))->text(),
             QString::fromUtf8("Attendere , rilevamanto velocità CPU........."));
}

void TestFrmSplash::titleIsReadFromItsStoredSet()
{
    Rig rig;
    Label3D *title = rig.splash.Label3D1();
    QVERIFY(title);
    QCOMPARE(title->parentWidget(), rig.splash.Frame1());
    QCOMPARE(title->pos(), QPoint(180, 112));
    QCOMPARE(title->Width(), 3375.0f);
    QCOMPARE(title->Height(), 375.0f);
    QCOMPARE(title->Caption(), QStringLiteral("Quarnet"));
    QCOMPARE(title->Label2()->Caption(), QStringLiteral("Quarnet"));
    QCOMPARE(title->ForeColor1(), 0x8000000Eu);
    QCOMPARE(title->ForeColor2(), 0x80000012u);
    QCOMPARE(title->Font()->Name(), QStringLiteral("Arial"));
    QCOMPARE(title->Font()->Size(), 15.75f);
    QCOMPARE(title->Font()->Weight(), qint16(400));
    QVERIFY(!title->Font()->Italic());
    // What the set leaves out keeps its default.
    QCOMPARE(title->BackColor(), 0x8000000Fu);
    QCOMPARE(title->Phase(), 0);
    QCOMPARE(title->Label1()->geometry(), QRect(1, 1, 225, 25));
    QCOMPARE(title->Label2()->geometry(), QRect(0, 0, 225, 25));
}

void TestFrmSplash::logoIsStretchedOverItsBox()
{
    Rig rig;
    const QImage &logo = rig.splash.imgLogo().picture();
    QCOMPARE(logo.size(), QSize(59, 70));
    QVERIFY(!logo.hasAlphaChannel());
    // As shipped: a GIF89a with a 256-entry global colour table and one frame.
    QFile file(QStringLiteral(":/calibration/logo.gif"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(13);
    QCOMPARE(head.left(6), QByteArray("GIF89a"));
    QCOMPARE(quint8(head[10]) & 0x87, 0x87);
    file.close();
    QCOMPARE(QImageReader(&file).imageCount(), 1);

    // The logo's white ground stands out from the frame: what differs from
    // the frame's colour around the box is exactly the stretched picture.
    const QImage frame = rig.splash.Frame1()->grab().toImage();
    const QColor ground = frame.pixelColor(30, 70);
    QRect drawn;
    for (int y = 60; y < 180; ++y) {
        for (int x = 20; x < 150; ++x) {
            if (frame.pixelColor(x, y) != ground)
                drawn |= QRect(x, y, 1, 1);
        }
    }
    QCOMPARE(drawn, QRect(48, 80, 81, 79));
}

void TestFrmSplash::barFill_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<int>("lastColumn"); // in bar pixels; -1: nothing filled

    // The mark stands at 324 on the frame, 100 on the bar.
    QTest::newRow("a slow machine leaves it empty") << 1.0e8 << -1;
    QTest::newRow("the reference processor reaches the mark") << RateBar::ReferenceRate << 100;
    QTest::newRow("far above fills it, no further") << 1.0e12 << 239;
}

void TestFrmSplash::barFill()
{
    QFETCH(double, rate);
    QFETCH(int, lastColumn);

    Rig rig;
    SplashProgressBar *bar = rig.splash.ProgressBar1();
    QCOMPARE(bar->geometry(), QRect(224, 216, 241, 17));
    QCOMPARE(bar->Min(), 1.0002f);
    QCOMPARE(bar->Max(), 20000000.0f);
    QVERIFY(filledColumns(*bar).isEmpty());

    rig.splash.setBarValue(RateBar::valueForRate(rate));
    const QList<int> filled = filledColumns(*bar);
    if (lastColumn < 0) {
        QVERIFY(filled.isEmpty());
        return;
    }
    QVERIFY(!filled.isEmpty());
    QCOMPARE(filled.first(), 1);
    // The fill may end in the gap between two blocks.
    QVERIFY2(filled.last() <= lastColumn && filled.last() >= lastColumn - 2,
             qPrintable(QStringLiteral("fill ends at %1").arg(filled.last())));
}

// The bar is a window of its own over the frame's windowless items: the lower
// end of the mark disappears under it.
void TestFrmSplash::barLiesAboveTheMark()
{
    Rig rig;
    const auto *mark = dynamic_cast<const SurfaceLine *>(rig.item("Line1"));
    QVERIFY(mark);
    QCOMPARE(QLine(mark->x1(), mark->y1(), mark->x2(), mark->y2()), QLine(4860, 3060, 4860, 3300));
    const QImage frame = rig.splash.Frame1()->grab().toImage();
    const QImage bar = rig.splash.ProgressBar1()->grab().toImage();
    const QColor line = frame.pixelColor(324, 210);
    QVERIFY(line != frame.pixelColor(320, 210));
    QCOMPARE(frame.pixelColor(324, 220), bar.pixelColor(100, 4));
    QVERIFY(frame.pixelColor(324, 220) != line);
}

void TestFrmSplash::tickRunsOnceTwoSecondsAfterCreation()
{
    RecordingBusyWait wait;
    DriveState state;
    ScriptedClock clock{{}, ScriptedClock::AfterScript::Zero};
    // A first round too short to trust, then one of 2.5 s: about 1e9 a second.
    clock.readings = {100.0f, 100.05f, 200.0f, 202.5f};
    ScriptedPump pump;
    RecordingSleeper sleeper;
    int mainShown = 0;
    bool splashGoneWhenMainShown = false;
    QPointer<frmSplash> splash;
    splash = new frmSplash(state, {clock, pump, sleeper}, [&] {
        ++mainShown;
        splashGoneWhenMainShown = !splash->isVisible();
        sleeper.log << QStringLiteral("main shown");
    });
    splash->startup().setBusyWait(wait);
    splash->startup().setLocale(QLocale::c());
    QTimer *timer = splash->Timer1();
    QVERIFY(timer->isSingleShot());
    QSignalSpy ticks(timer, &QTimer::timeout);

    QString textInPass;
    float barInPass = 0;
    qsizetype spinsInPass = 0;
    pump.everyPass = [&] {
        sleeper.log << QStringLiteral("events");
        spinsInPass = wait.asked.size();
        textInPass = splash->Label3().text();
        barInPass = splash->ProgressBar1()->Value();
        timer->start(0); // a second tick, due inside the pass
        QTest::qWaitFor([&] { return ticks.count() == 2; });
    };
    splash->show();

    QTest::qWait(1700);
    QCOMPARE(clock.reads, 0);
    QTRY_COMPARE_WITH_TIMEOUT(mainShown, 1, 3000);
    QTRY_VERIFY(splash.isNull());
    QTest::qWait(100);

    QCOMPARE(ticks.count(), 2);
    QCOMPARE(wait.asked.size(), spinsInPass);
    QCOMPARE(clock.reads, 4);
    QCOMPARE(mainShown, 1);
    QVERIFY(splashGoneWhenMainShown);
    QCOMPARE(sleeper.log, QStringList({"events", "sleep 2000", "main shown"}));
    QCOMPARE(textInPass, formatGeneralNumber(state.LoopsPerSec, QLocale::c()));
    QCOMPARE(barInPass, RateBar::valueForRate(state.LoopsPerSec));
    QVERIFY(barInPass > 8.0e6f && barInPass < 8.6e6f);
}

QTEST_MAIN(TestFrmSplash)
#include "tst_frmsplash.moc"
