#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/types.h>

// The user who started the tool through sudo or pkexec, as root for them.
struct InvokingUser
{
    uid_t uid = 0;
    gid_t gid = 0;
    QByteArray name;
    QByteArray home;
};

// Root is wanted for one thing only, direct port I/O, whose permission the
// port access takes first; then the process becomes the user who asked for
// it, before any window system, plugin, trace file or browser is touched.
namespace Privileges {

// Who ran sudo (SUDO_UID, SUDO_GID) or pkexec (PKEXEC_UID) while the
// process runs as root; none otherwise, or when that was root too.
std::optional<InvokingUser> invokingUser();

// Groups, group and user (real, effective and saved) of `user`, for good:
// empty on success, else why not, with the process still root.
QString becomeUser(const InvokingUser &user);

// Qt options that load code from a folder the command line names; refused
// while the process is root.
QString rootRefusesOption(int argc, char **argv);

} // namespace Privileges
