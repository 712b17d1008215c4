#pragma once

#include "StdFont.h"

#include <QString>

// What a label control needs from the window that hosts it, besides its
// surface: the window's font for controls that have none stored, and a place
// to report each property change so the host knows its saved data is stale.
// The property store itself is handed to the ReadProperties and
// WriteProperties hooks.
class Label3DHost
{
public:
    virtual ~Label3DHost() = default;

    // The same object on every call while the host's font stays the same.
    virtual FontRef AmbientFont() = 0;
    virtual void PropertyChanged(const QString &PropertyName) = 0;
};
