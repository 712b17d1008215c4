#pragma once

#include "Services.h"

// Hands a web or mail address (or a file) to the desktop's default handler.
// The tool shows no error of its own: a target nothing can open is dropped.
class DesktopShell final : public IShell
{
public:
    void open(const QString &target) override;
};
