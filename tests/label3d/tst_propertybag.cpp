#include "Label3DError.h"
#include "PropertyBag.h"

#include <QtTest>

Q_DECLARE_METATYPE(PropertyValue)

namespace {

FontRef arial(float size)
{
    FontDescription d;
    d.Name = QStringLiteral("Arial");
    d.Size = size;
    return StdFont::create(d);
}

} // namespace

class TestPropertyBag : public QObject
{
    Q_OBJECT

private slots:
    void valueEqualToDefaultIsNotStored_data();
    void valueEqualToDefaultIsNotStored();
    void rewritingWithDefaultForgetsStoredEntry();
    void conversions_data();
    void conversions();
    void fontEntryHandsOutOneObject();
};

void TestPropertyBag::valueEqualToDefaultIsNotStored_data()
{
    QTest::addColumn<PropertyValue>("value");
    QTest::addColumn<PropertyValue>("defaultValue");
    QTest::addColumn<bool>("stored");

    QTest::newRow("32-bit zero against 16-bit zero")
        << PropertyValue::int32(0) << PropertyValue::int16(0) << false;
    QTest::newRow("byte 0 against byte 0") << PropertyValue::byte(0) << PropertyValue::byte(0) << false;
    QTest::newRow("true against true") << PropertyValue::boolean(true) << PropertyValue::boolean(true) << false;
    QTest::newRow("false against true") << PropertyValue::boolean(false) << PropertyValue::boolean(true) << true;
    QTest::newRow("system colour against white")
        << PropertyValue::int32(qint32(0x8000000Eu)) << PropertyValue::int32(0xFFFFFF) << true;
    QTest::newRow("empty text against Label3D")
        << PropertyValue::text("") << PropertyValue::text("Label3D") << true;
    QTest::newRow("text 0 is not the number 0") << PropertyValue::text("0") << PropertyValue::int16(0) << true;
    QTest::newRow("equal font descriptions, different objects")
        << PropertyValue::font(arial(12)) << PropertyValue::font(arial(12)) << false;
    QTest::newRow("different font sizes")
        << PropertyValue::font(arial(12)) << PropertyValue::font(arial(12.25f)) << true;
}

void TestPropertyBag::valueEqualToDefaultIsNotStored()
{
    QFETCH(PropertyValue, value);
    QFETCH(PropertyValue, defaultValue);
    QFETCH(bool, stored);

    PropertyBag bag;
    bag.WriteProperty("Key", value, defaultValue);
    QCOMPARE(bag.contains("key"), stored);
}

void TestPropertyBag::rewritingWithDefaultForgetsStoredEntry()
{
    PropertyBag bag;
    bag.append("caption", PropertyValue::text("Quarnet"));
    bag.append("caption", PropertyValue::text("Quarnet"));
    bag.WriteProperty("Caption", PropertyValue::text("Label3D"), PropertyValue::text("Label3D"));
    QCOMPARE(bag.count(), 0);
    QCOMPARE(bag.ReadProperty("Caption", PropertyValue::text("Label3D")).toText(), QString("Label3D"));

    bag.append("caption", PropertyValue::text("a"));
    bag.append("CAPTION", PropertyValue::text("a"));
    bag.WriteProperty("Caption", PropertyValue::text("b"), PropertyValue::text("Label3D"));
    QCOMPARE(bag.count(), 1);
    QCOMPARE(bag.ReadProperty("caption", PropertyValue::text("")).toText(), QString("b"));
}

void TestPropertyBag::conversions_data()
{
    QTest::addColumn<PropertyValue>("value");
    QTest::addColumn<QString>("target");
    QTest::addColumn<qint64>("expected");
    QTest::addColumn<int>("error"); // 0 when the conversion succeeds

    const int overflow = int(Label3DError::Kind::Overflow);
    const int mismatch = int(Label3DError::Kind::TypeMismatch);
    QTest::newRow("256 to byte") << PropertyValue::int32(256) << "byte" << qint64(0) << overflow;
    QTest::newRow("-1 to byte") << PropertyValue::int32(-1) << "byte" << qint64(0) << overflow;
    QTest::newRow("255 to byte") << PropertyValue::int16(255) << "byte" << qint64(255) << 0;
    QTest::newRow("32768 to 16 bits") << PropertyValue::int32(32768) << "i16" << qint64(0) << overflow;
    QTest::newRow("-32768 to 16 bits") << PropertyValue::int32(-32768) << "i16" << qint64(-32768) << 0;
    QTest::newRow("true to 16 bits") << PropertyValue::boolean(true) << "i16" << qint64(-1) << 0;
    QTest::newRow("numeric text") << PropertyValue::text(" 12 ") << "i16" << qint64(12) << 0;
    QTest::newRow("words to number") << PropertyValue::text("abc") << "i32" << qint64(0) << mismatch;
    QTest::newRow("font to number") << PropertyValue::font(arial(9)) << "i32" << qint64(0) << mismatch;
    QTest::newRow("number to font") << PropertyValue::int32(1) << "font" << qint64(0) << mismatch;
    QTest::newRow("text False to Boolean") << PropertyValue::text("False") << "bool" << qint64(0) << 0;
    QTest::newRow("2 to Boolean") << PropertyValue::int16(2) << "bool" << qint64(-1) << 0;
}

void TestPropertyBag::conversions()
{
    QFETCH(PropertyValue, value);
    QFETCH(QString, target);
    QFETCH(qint64, expected);
    QFETCH(int, error);

    try {
        qint64 got = 0;
        if (target == "byte")
            got = value.toByte();
        else if (target == "i16")
            got = value.toInt16();
        else if (target == "i32")
            got = value.toInt32();
        else if (target == "bool")
            got = value.toBoolean() ? -1 : 0;
        else
            got = value.toFont() ? 1 : 0;
        QVERIFY2(error == 0, "conversion should have failed");
        QCOMPARE(got, expected);
    } catch (const Label3DError &e) {
        QCOMPARE(e.number(), error);
    }
}

void TestPropertyBag::fontEntryHandsOutOneObject()
{
    PropertyBag bag;
    const FontRef written = arial(15.75f);
    bag.WriteProperty("Font", PropertyValue::font(written), PropertyValue::font(arial(8)));

    // The label later changes the object it was given; the save must not follow.
    written->SetSize(30);
    const FontRef first = bag.ReadProperty("Font", PropertyValue::font(arial(8))).toFont();
    const FontRef second = bag.ReadProperty("font", PropertyValue::font(arial(8))).toFont();
    QCOMPARE(first.get(), second.get());
    QCOMPARE(first->Size(), 15.75f);

    first->SetSize(40);
    QCOMPARE(bag.ReadProperty("Font", PropertyValue::font(arial(8))).toFont()->Size(), 15.75f);
}

QTEST_GUILESS_MAIN(TestPropertyBag)
#include "tst_propertybag.moc"
