#include "Varie.h"

void OpenLink(const QString &target, IShell &shell)
{
    try {
        shell.open(target);
    } catch (...) {
    }
}
