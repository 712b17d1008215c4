#include "Label3DError.h"
#include "Label3DSupport.h"
#include "RecordingHost.h"
#include "WindowClicks.h"

#include <QtTest>

class TestLabel3D : public QObject
{
    Q_OBJECT

private slots:
    void storeWithoutKeysGivesReaderDefaults();
    void newInstanceKeepsDesignColoursAndStoresThem();
    void saveAndReloadRestoresEveryProperty_data();
    void saveAndReloadRestoresEveryProperty();
    void refusedWriteChangesNothing_data();
    void refusedWriteChangesNothing();
    void oneFontObjectServesBothLabels();
    void disabledLabelsRaiseNoEvents();
    void emptyCaptionEmptiesBothLabels();
    void captionTagsAreShownNotObeyed_data();
    void captionTagsAreShownNotObeyed();
    void unchangedValueStillNotifies_data();
    void unchangedValueStillNotifies();
    void readersAndRefreshSendNothing();
    void readStopsAtFailingStep_data();
    void readStopsAtFailingStep();
    void mouseParametersArriveUnchangedAndByReference_data();
    void mouseParametersArriveUnchangedAndByReference();
    void clickSequenceFollowsFrontLabel();
};

void TestLabel3D::storeWithoutKeysGivesReaderDefaults()
{
    RecordingHost host;
    Label3D control(host);
    control.Initialize();
    control.InitProperties(); // design colours first, so the read must replace them
    control.ReadProperties(PropertyBag());

    QCOMPARE(control.Enabled(), qint16(-1));
    QCOMPARE(control.ForeColor1(), 0u);
    QCOMPARE(control.ForeColor2(), 0xFFFFFFu);
    QCOMPARE(control.Label1()->Caption(), QString("Label3D"));
    QCOMPARE(control.Label2()->Caption(), QString("Label3D"));
    QCOMPARE(control.Alignment(), 0);
    QCOMPARE(control.Label2()->Font(), control.Label1()->Font());
    QVERIFY(control.Label1()->Font()->description() == host.AmbientFont()->description());
    QVERIFY(control.Label1()->Font() != host.AmbientFont());
    QCOMPARE(control.BorderStyle(), 0);
    QCOMPARE(control.Phase(), 0);
    QCOMPARE(control.BackColor(), 0x8000000Fu);
    QVERIFY(host.changes.isEmpty());
}

void TestLabel3D::newInstanceKeepsDesignColoursAndStoresThem()
{
    RecordingHost host;
    Label3D control(host);
    control.Initialize();
    control.InitProperties();
    QCOMPARE(control.ForeColor1(), 0x8000000Eu);
    QCOMPARE(control.ForeColor2(), 0x80000012u);
    QCOMPARE(control.Label2()->Font(), control.Label1()->Font());
    QVERIFY(control.Label2()->Font()->description() == host.AmbientFont()->description());
    QVERIFY(control.Label2()->Font() != host.AmbientFont());
    QVERIFY(host.changes.isEmpty());

    PropertyBag bag;
    control.WriteProperties(bag);
    QCOMPARE(bag.keys(), QStringList({"ForeColor1", "ForeColor2"}));
}

void TestLabel3D::saveAndReloadRestoresEveryProperty_data()
{
    Label3DRows::saveAndReloadRestoresEveryProperty();
}

void TestLabel3D::saveAndReloadRestoresEveryProperty()
{
    QFETCH(qint16, enabled);
    QFETCH(bool, ownFont);
    QFETCH(quint32, fore1);
    QFETCH(quint32, fore2);
    QFETCH(QString, caption);
    QFETCH(qint32, alignment);
    QFETCH(qint32, phase);
    QFETCH(quint32, back);
    QFETCH(qint32, border);

    RecordingHost host;
    auto original = host.makeControl(true);
    original->SetEnabled(enabled);
    if (ownFont)
        original->SetFont(arial1575());
    original->SetForeColor1(fore1);
    original->SetForeColor2(fore2);
    original->SetCaption(caption);
    original->SetAlignment(alignment);
    original->SetPhase(phase);
    original->SetBackColor(back);
    original->SetBorderStyle(border);

    PropertyBag saved;
    original->WriteProperties(saved);

    auto copy = host.makeControl(true);
    copy->ReadProperties(saved);
    QCOMPARE(copy->Enabled(), enabled);
    QCOMPARE(copy->Label2()->isEnabled(), enabled != 0);
    QCOMPARE(copy->Font()->description(), original->Font()->description());
    QCOMPARE(copy->Label2()->Font(), copy->Font());
    QCOMPARE(copy->ForeColor1(), fore1);
    QCOMPARE(copy->ForeColor2(), fore2);
    QCOMPARE(copy->Caption(), caption);
    QCOMPARE(copy->Label2()->Caption(), caption);
    QCOMPARE(copy->Alignment(), alignment);
    QCOMPARE(copy->Label2()->Alignment(), qint16(alignment));
    QCOMPARE(copy->Phase(), phase);
    QCOMPARE(copy->BackColor(), back);
    QCOMPARE(copy->BorderStyle(), border);
}

void TestLabel3D::refusedWriteChangesNothing_data()
{
    Label3DRows::refusedWriteChangesNothing();
}

void TestLabel3D::refusedWriteChangesNothing()
{
    QFETCH(QString, member);
    QFETCH(qint64, value);
    QFETCH(int, error);

    RecordingHost host;
    auto control = host.makeControl(true);
    control->SetPhase(2);
    control->SetAlignment(2);
    control->SetBorderStyle(1);
    host.changes.clear();
    const Snapshot before(*control);

    try {
        if (member == "Phase")
            control->SetPhase(qint32(value));
        else if (member == "Alignment")
            control->SetAlignment(qint32(value));
        else if (member == "BorderStyle")
            control->SetBorderStyle(qint32(value));
        else
            control->SetFont(nullptr);
        QFAIL("the write was accepted");
    } catch (const Label3DError &e) {
        QCOMPARE(e.number(), error);
    }
    QVERIFY(Snapshot(*control) == before);
    QCOMPARE(control->Label2()->Alignment(), qint16(2));
    QCOMPARE(control->Label2()->Font().get(), before.font);
    QVERIFY(host.changes.isEmpty());
}

void TestLabel3D::oneFontObjectServesBothLabels()
{
    RecordingHost host;
    auto control = host.makeControl(true);
    const FontRef font = arial1575();
    control->SetFont(font);
    QCOMPARE(control->Font(), font);
    QCOMPARE(control->Label1()->Font(), font);
    QCOMPARE(control->Label2()->Font(), font);
    QCOMPARE(control->Label2()->font().family(), QString("Arial"));

    font->SetSize(20);
    font->SetWeight(700);
    QCOMPARE(control->Label1()->font().pointSizeF(), 20.0);
    QCOMPARE(control->Label2()->font().pointSizeF(), 20.0);
    QCOMPARE(control->Label2()->font().weight(), QFont::Bold);

    // The label must stop following an object it no longer holds.
    control->SetFont(arial1575());
    font->SetSize(30);
    QCOMPARE(control->Label2()->font().pointSizeF(), 15.75);
}

void TestLabel3D::disabledLabelsRaiseNoEvents()
{
    RecordingHost host;
    auto control = host.makeControl(true);
    control->SetEnabled(0);
    QCOMPARE(control->Enabled(), qint16(0));
    QVERIFY(!control->Label1()->isEnabled());
    QVERIFY(!control->Label2()->isEnabled());
    QVERIFY(control->isEnabled());

    QSignalSpy clicks(control.get(), &Label3D::Click);
    QTest::mouseClick(control->Label2(), Qt::LeftButton, {}, QPoint(20, 10));
    QCOMPARE(clicks.count(), 0);

    control->SetEnabled(-1);
    QTest::mouseClick(control->Label2(), Qt::LeftButton, {}, QPoint(20, 10));
    QCOMPARE(clicks.count(), 1);
}

void TestLabel3D::captionTagsAreShownNotObeyed_data()
{
    Label3DRows::captionTagsAreShownNotObeyed();
}

// A caption is shown exactly as given: markup would shrink it to its one
// visible letter, so each label must carry several times the ink of "x".
void TestLabel3D::captionTagsAreShownNotObeyed()
{
    QFETCH(QString, caption);
    RecordingHost host;
    auto control = host.makeControl(true);
    for (CaptionLabel *label : {control->Label1(), control->Label2()}) {
        const int letter = captionInk(*control, label, QStringLiteral("x"));
        const int shown = captionInk(*control, label, caption);
        QVERIFY(letter > 0);
        QVERIFY2(shown > 4 * letter, qPrintable(QStringLiteral("%1 vs %2").arg(shown).arg(letter)));
    }
}

void TestLabel3D::emptyCaptionEmptiesBothLabels()
{
    RecordingHost host;
    auto control = host.makeControl(true);
    control->SetCaption(QString());
    QCOMPARE(control->Caption(), QString());
    QVERIFY(control->Label1()->text().isEmpty());
    QVERIFY(control->Label2()->text().isEmpty());
    QCOMPARE(host.changes, QStringList{"Caption"});
}

void TestLabel3D::unchangedValueStillNotifies_data()
{
    Label3DRows::unchangedValueStillNotifies();
}

void TestLabel3D::unchangedValueStillNotifies()
{
    QFETCH(int, writer);
    RecordingHost host;
    auto control = host.makeControl(true);
    rewriters()[writer].second(*control);
    QCOMPARE(host.changes, QStringList{rewriters()[writer].first});
}

void TestLabel3D::readersAndRefreshSendNothing()
{
    RecordingHost host;
    auto control = host.makeControl(true);
    control->Enabled();
    control->Font();
    control->ForeColor1();
    control->ForeColor2();
    control->Caption();
    control->Alignment();
    control->Phase();
    control->BackColor();
    control->BorderStyle();
    control->Refresh();
    PropertyBag bag;
    control->WriteProperties(bag);
    QVERIFY(host.changes.isEmpty());
}

void TestLabel3D::readStopsAtFailingStep_data()
{
    Label3DRows::readStopsAtFailingStep();
}

void TestLabel3D::readStopsAtFailingStep()
{
    QFETCH(QString, badKey);
    QFETCH(PropertyValue, badValue);
    QFETCH(int, failingStep);

    RecordingHost host;
    auto control = host.makeControl(false, 3375, 375);
    control->SetPhase(1);
    control->SetExtent(2000, 600); // no layout yet: only the read's last step would run one
    host.changes.clear();

    const PropertyBag bad = storeFailingAt(badKey, badValue);
    QVERIFY_THROWS_EXCEPTION(Label3DError, control->ReadProperties(bad));
    QCOMPARE(control->Enabled(), qint16(0));                                   // steps 1-2
    QCOMPARE(control->ForeColor2(), failingStep > 4 ? 0xFFu : 0xFFFFFFu);    // step 4
    QCOMPARE(control->Label2()->Caption(), QString(failingStep > 6 ? "Quarnet" : "Label3D"));
    QCOMPARE(control->Label2()->Font()->Name(), QString(failingStep > 10 ? "Arial" : host.AmbientFont()->Name()));
    QCOMPARE(control->Phase(), failingStep > 12 ? 3 : 1);
    // The final layout did not run: the captions keep the old size and place.
    QCOMPARE(control->Label1()->Width(), 3375.0f);
    QCOMPARE(control->Label1()->Top(), Label3D::Step);
    QCOMPARE(control->Label2()->Top(), 0.0f);
    QVERIFY(host.changes.isEmpty());
}

void TestLabel3D::mouseParametersArriveUnchangedAndByReference_data()
{
    Label3DRows::mouseParametersArriveUnchangedAndByReference();
}

void TestLabel3D::mouseParametersArriveUnchangedAndByReference()
{
    QFETCH(int, kind);
    QFETCH(int, button);
    QFETCH(int, modifiers);
    QFETCH(qint16, buttonMask);
    QFETCH(qint16, shiftMask);

    RecordingHost host;
    auto control = host.makeControl(true);
    control->SetPhase(3); // Label2 sits one step in: its position must not be added
    using Signal = void (Label3D::*)(qint16 &, qint16 &, float &, float &);
    using LabelSignal = void (CaptionLabel::*)(qint16 &, qint16 &, float &, float &);
    const Signal controlSignals[] = {&Label3D::MouseDown, &Label3D::MouseMove, &Label3D::MouseUp};
    const LabelSignal labelSignals[] = {&CaptionLabel::MouseDown, &CaptionLabel::MouseMove, &CaptionLabel::MouseUp};

    QList<float> seen;
    qint16 seenButton = -99, seenShift = -99;
    connect(control.get(), controlSignals[kind], this, [&](qint16 &b, qint16 &s, float &x, float &y) {
        seenButton = b;
        seenShift = s;
        seen = {x, y};
        b = 77;
        s = 88;
        x = 1.5f;
        y = 2.5f;
    });
    // Connected after the control's own forwarding, so it sees Label2's
    // variables once the control's handler is done with them.
    QList<float> after;
    connect(control->Label2(), labelSignals[kind], this, [&](qint16 &b, qint16 &s, float &x, float &y) {
        after = {float(b), float(s), x, y};
    });

    const QPoint at(10, 5);
    const auto mods = Qt::KeyboardModifiers(modifiers);
    if (kind == 0)
        QTest::mousePress(control->Label2(), Qt::MouseButton(button), mods, at);
    else if (kind == 2)
        QTest::mouseRelease(control->Label2(), Qt::MouseButton(button), mods, at);
    else {
        QMouseEvent move(QEvent::MouseMove, at, control->Label2()->mapToGlobal(at), Qt::NoButton,
                         Qt::NoButton, mods);
        QApplication::sendEvent(control->Label2(), &move);
    }

    QCOMPARE(seenButton, buttonMask);
    QCOMPARE(seenShift, shiftMask);
    QCOMPARE(seen, QList<float>({150.0f, 75.0f}));
    QCOMPARE(after, QList<float>({77.0f, 88.0f, 1.5f, 2.5f}));
}

void TestLabel3D::clickSequenceFollowsFrontLabel()
{
    RecordingHost host;
    auto control = host.makeControl(true);
    QStringList order;
    connect(control.get(), &Label3D::MouseDown, this, [&](qint16 &, qint16 &, float &, float &) { order << "MouseDown"; });
    connect(control.get(), &Label3D::MouseUp, this, [&](qint16 &, qint16 &, float &, float &) { order << "MouseUp"; });
    connect(control.get(), &Label3D::Click, this, [&] { order << "Click"; });
    connect(control.get(), &Label3D::DblClick, this, [&] { order << "DblClick"; });

    QVERIFY(QTest::qWaitForWindowExposed(control.get()));
    auto *trail = new WindowClicks::MouseTrail(control->Label2());

    WindowClicks::click(control->Label2(), QPoint(30, 10));
    QCOMPARE(order, QStringList({"MouseDown", "MouseUp", "Click"}));

    // The second press of a double click is no Click of its own: its
    // release follows the DblClick.
    order.clear();
    trail->events.clear();
    WindowClicks::doubleClick(control->Label2(), QPoint(30, 10));
    QCOMPARE(trail->events, QStringList({"press", "release", "double-click", "release"}));
    QCOMPARE(order, QStringList({"MouseDown", "MouseUp", "Click", "DblClick", "MouseUp"}));

    order.clear();
    WindowClicks::click(control->Label2(), QPoint(30, 10));
    QCOMPARE(order, QStringList({"MouseDown", "MouseUp", "Click"}));
    order.clear();
    WindowClicks::click(control->Label2(), QPoint(30, 10), Qt::RightButton);
    QCOMPARE(order, QStringList({"MouseDown", "MouseUp"}));
}

QTEST_MAIN(TestLabel3D)
#include "tst_label3d.moc"
