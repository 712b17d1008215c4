#pragma once

#include "IShell.h"

#include <QString>

class QWidget;

// Asks the desktop to open a web or mail address on behalf of a window.
// Never reports a failure: a link that cannot be opened does nothing, and
// nothing raised on the way leaves this routine.
void OpenLink(QWidget *owner, const QString &target, IShell &shell);
