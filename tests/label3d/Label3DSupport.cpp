#include "Label3DSupport.h"

#include "Label3DError.h"

#include <QImage>
#include <QtTest>

FontRef arial1575()
{
    FontDescription d;
    d.Name = QStringLiteral("Arial");
    d.Size = 15.75f;
    return StdFont::create(d);
}

const QList<QPair<QString, Writer>> &rewriters()
{
    static const QList<QPair<QString, Writer>> list = {
        {"Enabled", [](Label3D &c) { c.SetEnabled(c.Enabled()); }},
        {"Font", [](Label3D &c) { c.SetFont(c.Font()); }},
        {"ForeColor1", [](Label3D &c) { c.SetForeColor1(c.ForeColor1()); }},
        {"ForeColor2", [](Label3D &c) { c.SetForeColor2(c.ForeColor2()); }},
        {"Caption", [](Label3D &c) { c.SetCaption(c.Caption()); }},
        {"Alignment", [](Label3D &c) { c.SetAlignment(c.Alignment()); }},
        {"Phase", [](Label3D &c) { c.SetPhase(c.Phase()); }},
        {"BackColor", [](Label3D &c) { c.SetBackColor(c.BackColor()); }},
        {"BorderStyle", [](Label3D &c) { c.SetBorderStyle(c.BorderStyle()); }},
    };
    return list;
}

int captionInk(Label3D &control, CaptionLabel *label, const QString &text)
{
    control.SetCaption(text);
    const QImage image = label->grab().toImage();
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) != background;
    }
    return count;
}

PropertyBag storeFailingAt(const QString &badKey, const PropertyValue &badValue)
{
    const QList<std::pair<QString, PropertyValue>> good = {
        {"Enabled", PropertyValue::boolean(false)}, {"ForeColor2", PropertyValue::int32(255)},
        {"Caption", PropertyValue::text("Quarnet")}, {"Font", PropertyValue::font(arial1575())},
        {"Phase", PropertyValue::byte(3)}};
    PropertyBag bad;
    for (const auto &[key, value] : good) {
        if (key != badKey)
            bad.append(key, value);
    }
    bad.append(badKey, badValue);
    return bad;
}

namespace Label3DRows {

void saveAndReloadRestoresEveryProperty()
{
    QTest::addColumn<qint16>("enabled");
    QTest::addColumn<bool>("ownFont");
    QTest::addColumn<quint32>("fore1");
    QTest::addColumn<quint32>("fore2");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<qint32>("alignment");
    QTest::addColumn<qint32>("phase");
    QTest::addColumn<quint32>("back");
    QTest::addColumn<qint32>("border");

    QTest::newRow("colours at the stored defaults")
        << qint16(-1) << false << 0u << 0xFFFFFFu << "Label3D" << 0 << 0 << 0x8000000Fu << 0;
    QTest::newRow("colours swapped from the defaults")
        << qint16(-1) << false << 0xFFFFFFu << 0u << "Label3D" << 0 << 0 << 0x8000000Fu << 0;
    QTest::newRow("system colours") << qint16(-1) << true << 0x8000000Eu << 0x80000012u << "Quarnet" << 2
                                    << 3 << 0xFFu << 1;
    QTest::newRow("all changed") << qint16(0) << true << 0x800000u << 0xFF0000u << "" << 1 << 255 << 0u << 1;
}

void refusedWriteChangesNothing()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("error");

    const int overflow = int(Label3DError::Kind::Overflow);
    const int invalid = int(Label3DError::Kind::InvalidPropertyValue);
    QTest::newRow("Phase 256") << "Phase" << qint64(256) << overflow;
    QTest::newRow("Phase -1") << "Phase" << qint64(-1) << overflow;
    QTest::newRow("Phase 65538") << "Phase" << qint64(65538) << overflow; // would wrap to 2
    QTest::newRow("Alignment 32768") << "Alignment" << qint64(32768) << overflow;
    QTest::newRow("Alignment 65537") << "Alignment" << qint64(65537) << overflow; // would wrap to 1
    QTest::newRow("Alignment 3") << "Alignment" << qint64(3) << invalid;
    QTest::newRow("Alignment -1") << "Alignment" << qint64(-1) << invalid;
    QTest::newRow("BorderStyle 65537") << "BorderStyle" << qint64(65537) << overflow;
    QTest::newRow("BorderStyle 2") << "BorderStyle" << qint64(2) << invalid;
    QTest::newRow("Font nothing") << "Font" << qint64(0) << invalid;
}

void captionTagsAreShownNotObeyed()
{
    QTest::addColumn<QString>("caption");
    QTest::newRow("bold tag") << "<b>x</b>";
    QTest::newRow("line break tag") << "x<br>";
}

void unchangedValueStillNotifies()
{
    QTest::addColumn<int>("writer");
    for (int i = 0; i < rewriters().size(); ++i)
        QTest::newRow(qPrintable(rewriters()[i].first)) << i;
}

void readStopsAtFailingStep()
{
    QTest::addColumn<QString>("badKey");
    QTest::addColumn<PropertyValue>("badValue");
    QTest::addColumn<int>("failingStep");

    using V = PropertyValue;
    QTest::newRow("ForeColor1 not a number (3)") << "ForeColor1" << V::text("red") << 3;
    QTest::newRow("Alignment outside 16 bits (7)") << "Alignment" << V::int32(70000) << 7;
    QTest::newRow("Alignment unknown (7)") << "Alignment" << V::int16(7) << 7;
    QTest::newRow("Font stored as text (9)") << "Font" << V::text("Arial") << 9;
    QTest::newRow("BorderStyle unknown (11)") << "BorderStyle" << V::int16(2) << 11;
    QTest::newRow("Phase 256 (12)") << "Phase" << V::int16(256) << 12;
    QTest::newRow("BackColor not a number (13)") << "BackColor" << V::text("x") << 13;
}

void mouseParametersArriveUnchangedAndByReference()
{
    QTest::addColumn<int>("kind"); // 0 down, 1 move, 2 up
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<qint16>("buttonMask");
    QTest::addColumn<qint16>("shiftMask");

    QTest::newRow("MouseDown right, shift+ctrl")
        << 0 << int(Qt::RightButton) << int(Qt::ShiftModifier | Qt::ControlModifier) << qint16(2) << qint16(3);
    QTest::newRow("MouseDown middle, alt") << 0 << int(Qt::MiddleButton) << int(Qt::AltModifier) << qint16(4)
                                           << qint16(4);
    QTest::newRow("MouseMove, no button") << 1 << int(Qt::NoButton) << int(Qt::NoModifier) << qint16(0)
                                          << qint16(0);
    QTest::newRow("MouseUp left, ctrl") << 2 << int(Qt::LeftButton) << int(Qt::ControlModifier) << qint16(1)
                                        << qint16(2);
}

} // namespace Label3DRows
