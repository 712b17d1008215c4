// A label control read from an arbitrary stored set must either come up, and
// then save a set that reads back to the same control, or be refused cleanly.
#include "Label3DSite.h"
#include "PropertyBag.h"

#include <QApplication>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<PropertyBag> stored = PropertyBag::fromText(text, &error);
    if (!stored)
        return 0;

    QWidget window;
    Label3DSite site(&window);
    if (!site.createStored(0, 0, *stored, &error))
        return 0;
    const PropertyBag saved = site.save();

    QWidget otherWindow;
    Label3DSite otherSite(&otherWindow);
    if (!otherSite.createStored(0, 0, saved, &error))
        std::abort(); // what the control saved it must be able to read
    if (!otherSite.save().sameEntries(saved))
        std::abort();
    return 0;
}
