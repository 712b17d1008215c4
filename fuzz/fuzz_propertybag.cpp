// Stored property text comes from files a user may have edited: loading it
// must either give a set that saves and reloads to the very same entries, or
// refuse it; never crash, never accept half of it.
#include "PropertyBag.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<PropertyBag> bag = PropertyBag::fromText(text, &error);
    if (!bag) {
        if (error.isEmpty())
            std::abort(); // a refusal must say why
        return 0;
    }
    const QString saved = bag->toText();
    const std::optional<PropertyBag> again = PropertyBag::fromText(saved, &error);
    if (!again || !again->sameEntries(*bag) || again->toText() != saved)
        std::abort();
    return 0;
}
