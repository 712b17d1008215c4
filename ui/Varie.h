#pragma once

#include "IShell.h"

#include <QString>

// Asks the desktop to open a web or mail address. The desktop's opener needs
// no owner window. Never reports a failure: a link that cannot be opened
// does nothing, and nothing raised on the way leaves this routine.
void OpenLink(const QString &target, IShell &shell);
