#pragma once

#include <QString>

// Hands a web or mail address (or a file) to the desktop's default handler.
// The tool shows no error of its own: a target nothing can open is dropped.
class DesktopShell final
{
public:
    void open(const QString &target);
};
