#include "DesktopShell.h"

#include <QDesktopServices>
#include <QUrl>

#include <cstdio>

void DesktopShell::open(const QString &target)
{
    // A browser or mail client started as root would run the web as root.
    if (m_effectiveUser == 0) {
        std::fputs("quarnet: the link is not opened as root; run Quarnet as yourself to follow it\n", stderr);
        return;
    }
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
