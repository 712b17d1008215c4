// Writes through the program's own (guarded) port access on the virtual
// route, says "ready <guardian pid>", then ends the way argv[2] says:
// "kill" (SIGKILL to itself), "abort", "_exit", or "watch" (runs the event
// loop until it is told the guardian has gone, and says that on stderr).
// argv[1] is the trace; the rest are writes, "port=value" in hex=decimal.
#include "PortAccess.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    PortAccessOptions options;
    options.mode = PortMode::Virtual;
    options.tracePath = QString::fromLocal8Bit(argv[1]);
    options.guarded = true;
    options.report = [&app](const QString &line) {
        std::fprintf(stderr, "%s\n", qPrintable(line));
        std::fflush(stderr);
        app.quit();
    };
    PortAccess access(options);
    for (int i = 3; i < argc; ++i) {
        const QList<QByteArray> write = QByteArray(argv[i]).split('=');
        if (write.size() != 2)
            return 2;
        access.Out32(static_cast<std::int16_t>(write[0].toInt(nullptr, 16)),
                     static_cast<std::int16_t>(write[1].toInt()));
    }
    const qint64 guardian = access.guardian() ? access.guardian()->processId() : 0;
    std::printf("ready %lld\n", static_cast<long long>(guardian));
    std::fflush(stdout);

    const char *ending = argv[2];
    if (std::strcmp(ending, "kill") == 0)
        ::raise(SIGKILL);
    if (std::strcmp(ending, "abort") == 0)
        std::abort();
    if (std::strcmp(ending, "_exit") == 0)
        ::_exit(0);
    if (std::strcmp(ending, "watch") == 0)
        return app.exec();
    return 2;
}
