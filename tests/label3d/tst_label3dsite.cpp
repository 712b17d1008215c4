#include "Label3DError.h"
#include "Label3DSite.h"

#include <QtTest>

namespace {

// The title's stored set as the start-up window keeps it: its caption and
// font twice, once for each of the label's two captions.
PropertyBag splashSet()
{
    FontDescription arial;
    arial.Name = QStringLiteral("Arial");
    arial.Size = 15.75f;
    const FontRef font = StdFont::create(arial);
    PropertyBag bag;
    bag.append("_extentx", PropertyValue::int32(5953));
    bag.append("_extenty", PropertyValue::int32(661));
    bag.append("forecolor1", PropertyValue::int32(qint32(0x8000000Eu)));
    bag.append("forecolor2", PropertyValue::int32(qint32(0x80000012u)));
    for (int caption = 0; caption < 2; ++caption) {
        bag.append("caption", PropertyValue::text("Quarnet"));
        bag.append("font", PropertyValue::font(font));
    }
    return bag;
}

} // namespace

class TestLabel3DSite : public QObject
{
    Q_OBJECT

private slots:
    void createsTheSplashTitleFromItsStoredSet();
    void savedSetRecreatesTheSameControl();
    void refusedStoredSetLeavesNoControl();
    void newControlIsCorrectedToMinimumSize();
    void fontChangedOnTheControlIsSaved_data();
    void fontChangedOnTheControlIsSaved();
};

void TestLabel3DSite::createsTheSplashTitleFromItsStoredSet()
{
    QWidget window;
    Label3DSite site(&window);
    QString error;
    Label3D *title = site.createStored(2700, 1680, splashSet(), &error);
    QVERIFY2(title, qPrintable(error));
    QCOMPARE(site.control(), title);
    QCOMPARE(title->parentWidget(), &window);
    QCOMPARE(title->pos(), QPoint(180, 112));

    QCOMPARE(title->Width(), 3375.0f);
    QCOMPARE(title->Height(), 375.0f);
    QCOMPARE(title->Caption(), QString("Quarnet"));
    QCOMPARE(title->Label2()->Caption(), QString("Quarnet"));
    QCOMPARE(title->ForeColor1(), 0x8000000Eu);
    QCOMPARE(title->ForeColor2(), 0x80000012u);
    QCOMPARE(title->Font()->Name(), QString("Arial"));
    QCOMPARE(title->Font()->Size(), 15.75f);
    QCOMPARE(title->Font()->Weight(), qint16(400));
    QCOMPARE(title->Label2()->Font(), title->Font()); // one object from one entry
    QCOMPARE(title->Phase(), 0);
    QCOMPARE(title->Label1()->geometry(), QRect(1, 1, 225, 25));
    QCOMPARE(title->Label2()->geometry(), QRect(0, 0, 225, 25));
    QCOMPARE(title->BackColor(), 0x8000000Fu);
}

void TestLabel3DSite::savedSetRecreatesTheSameControl()
{
    QWidget window;
    Label3DSite site(&window);
    Label3D *title = site.createStored(2700, 1680, splashSet(), nullptr);
    QVERIFY(title);
    const PropertyBag saved = site.save();
    QCOMPARE(saved.keys(), QStringList({"_extentx", "_extenty", "Font", "ForeColor1", "ForeColor2", "Caption"}));
    QCOMPARE(saved.ReadProperty("_extentx", PropertyValue::int32(0)).toInt32(), 5953);
    QCOMPARE(saved.ReadProperty("_extenty", PropertyValue::int32(0)).toInt32(), 661);

    QWidget other;
    Label3DSite otherSite(&other);
    QString error;
    Label3D *copy = otherSite.createStored(0, 0, saved, &error);
    QVERIFY2(copy, qPrintable(error));
    PropertyBag again;
    copy->WriteProperties(again);
    PropertyBag first;
    title->WriteProperties(first);
    QVERIFY(again.sameEntries(first));
    QCOMPARE(copy->Width(), title->Width());
    QCOMPARE(copy->Height(), title->Height());
}

void TestLabel3DSite::refusedStoredSetLeavesNoControl()
{
    QWidget window;
    Label3DSite site(&window);
    PropertyBag bag = splashSet();
    bag.append("Alignment", PropertyValue::int16(5));
    QString error;
    QVERIFY(!site.createStored(0, 0, bag, &error));
    QVERIFY(!site.control());
    QVERIFY(window.findChildren<Label3D *>().isEmpty());
    QVERIFY2(error.contains("380"), qPrintable(error));
}

void TestLabel3DSite::newControlIsCorrectedToMinimumSize()
{
    QWidget window;
    Label3DSite site(&window);
    Label3D *control = site.createNew(0, 0, 50, 50);
    QCOMPARE(control->Width(), 100.0f);
    QCOMPARE(control->Height(), 100.0f);
    QCOMPARE(control->Label1()->Width(), 100.0f);
    QCOMPARE(control->Label2()->Height(), 100.0f);
    QCOMPARE(control->Label1()->Left(), Label3D::Step);
    QCOMPARE(control->Font()->Name(), window.font().family());
}

void TestLabel3DSite::fontChangedOnTheControlIsSaved_data()
{
    QTest::addColumn<bool>("stored");
    QTest::newRow("new control") << false;
    QTest::newRow("stored without a font") << true;
}

// The control starts on the window's font but changes only its own: a 20 pt
// bold title must be saved as such and leave the window's font alone.
void TestLabel3DSite::fontChangedOnTheControlIsSaved()
{
    QFETCH(bool, stored);
    QWidget window;
    Label3DSite site(&window);
    const FontDescription ambient = site.AmbientFont()->description();
    QString error;
    Label3D *control = stored ? site.createStored(0, 0, PropertyBag(), &error)
                              : site.createNew(0, 0, 3375, 375);
    QVERIFY2(control, qPrintable(error));
    QCOMPARE(control->Label2()->Font(), control->Label1()->Font());

    control->Font()->SetSize(20);
    control->Font()->SetWeight(700);
    QVERIFY(site.AmbientFont()->description() == ambient);
    QCOMPARE(control->Label2()->Font()->Size(), 20.0f);

    const PropertyBag saved = site.save();
    QVERIFY2(saved.contains("Font"), qPrintable(saved.keys().join(' ')));
    QWidget other;
    Label3DSite reloadedSite(&other);
    Label3D *reloaded = reloadedSite.createStored(0, 0, saved, &error);
    QVERIFY2(reloaded, qPrintable(error));
    QCOMPARE(reloaded->Font()->Size(), 20.0f);
    QCOMPARE(reloaded->Font()->Weight(), qint16(700));
    QCOMPARE(site.createNew(0, 0, 3375, 375)->Font()->Size(), ambient.Size);
}

QTEST_MAIN(TestLabel3DSite)
#include "tst_label3dsite.moc"
