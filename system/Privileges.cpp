#include "Privileges.h"

#include <QList>
#include <QtGlobal>

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace {

std::optional<long> numberFrom(const char *variable)
{
    const QByteArray text = qgetenv(variable);
    bool ok = false;
    const long value = text.toLong(&ok);
    if (!ok || value < 0)
        return std::nullopt;
    return value;
}

QString failed(const char *what)
{
    return QStringLiteral("%1 failed (%2)").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

std::optional<InvokingUser> Privileges::invokingUser()
{
    if (::geteuid() != 0)
        return std::nullopt;
    std::optional<long> uid = numberFrom("PKEXEC_UID");
    if (!uid)
        uid = numberFrom("SUDO_UID");
    if (!uid || *uid == 0)
        return std::nullopt;
    const passwd *entry = ::getpwuid(uid_t(*uid));
    InvokingUser user;
    user.uid = uid_t(*uid);
    if (entry) {
        user.gid = entry->pw_gid;
        user.name = entry->pw_name;
        user.home = entry->pw_dir;
    } else if (const std::optional<long> gid = numberFrom("SUDO_GID")) {
        user.gid = gid_t(*gid);
        user.name = qgetenv("SUDO_USER");
    } else {
        return std::nullopt;
    }
    return user;
}

QString Privileges::becomeUser(const InvokingUser &user)
{
    if (user.name.isEmpty() ? ::setgroups(1, &user.gid) != 0 : ::initgroups(user.name.constData(), user.gid) != 0)
        return failed("setting the groups");
    if (::setresgid(user.gid, user.gid, user.gid) != 0)
        return failed("setresgid");
    if (::setresuid(user.uid, user.uid, user.uid) != 0)
        return failed("setresuid");
    // A process that could become root again has not given it up.
    if (::setuid(0) == 0 || ::geteuid() == 0)
        return QStringLiteral("root could be taken back");
    if (!user.home.isEmpty())
        qputenv("HOME", user.home);
    if (!user.name.isEmpty()) {
        qputenv("USER", user.name);
        qputenv("LOGNAME", user.name);
    }
    return {};
}

QString Privileges::rootRefusesOption(int argc, char **argv)
{
    if (::geteuid() != 0)
        return {};
    for (int i = 1; i < argc; ++i) {
        const QByteArray option = QByteArray(argv[i]).split('=').first();
        for (const char *loads : {"-platformpluginpath", "--platformpluginpath", "-plugin", "--plugin"}) {
            if (option == loads)
                return QStringLiteral("%1 loads code from a folder it names: refused as root").arg(QString::fromLocal8Bit(option));
        }
    }
    for (const char *variable : {"QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH", "QT_QPA_GENERIC_PLUGINS"}) {
        if (qEnvironmentVariableIsSet(variable))
            return QStringLiteral("%1 loads code from a folder it names: refused as root").arg(QLatin1String(variable));
    }
    return {};
}
