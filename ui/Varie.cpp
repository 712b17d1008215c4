#include "Varie.h"

// The desktop's opener needs no owner window; the owner stays in the
// signature so every caller names the window the request comes from.
void OpenLink(QWidget *, const QString &target, IShell &shell)
{
    try {
        shell.open(target);
    } catch (...) {
    }
}
