#pragma once

#include "IShell.h"

#include <QString>
#include <sys/types.h>
#include <unistd.h>

// Hands a web or mail address (or a file) to the desktop's default handler.
// The tool shows no error of its own: a target nothing can open is dropped.
// `effectiveUser` is who the handler would run as: root is refused.
class DesktopShell final : public IShell
{
public:
    explicit DesktopShell(uid_t effectiveUser = ::geteuid()) : m_effectiveUser(effectiveUser) {}
    void open(const QString &target) override;

private:
    uid_t m_effectiveUser;
};
