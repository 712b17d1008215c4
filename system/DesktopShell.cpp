#include "DesktopShell.h"

#include <QDesktopServices>
#include <QUrl>

void DesktopShell::open(const QString &target)
{
    // Text that is not an address at all is dropped here: handed to
    // fromUserInput it would come back as a made-up http address
    // ("http://[::1" turns into "http://http//[::1").
    const QUrl given(target.trimmed(), QUrl::TolerantMode);
    if (given.isEmpty() || !given.isValid())
        return;
    // Without a scheme ("www.example.org/..."), read it the way a browser's
    // address bar would.
    const QUrl url = given.scheme().isEmpty() ? QUrl::fromUserInput(target) : given;
    if (url.isValid())
        QDesktopServices::openUrl(url);
}
