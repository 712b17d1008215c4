// Writes through the production port access, then ends the way argv[1] says:
// "return" (normal end), "_exit" (no clean-up at all), "shutdown" (shutdown
// then _exit, as "end the process now" does) or "signal" (prints "ready" and
// keeps writing until the parent kills it). argv[2] is the number of writes.
// "stray" instead writes only to addresses no parallel port has, the way a
// partly typed address box does, to show what the user is told.
// "at-size-limit" and "across-size-limit" write argv[2] lines, then lower
// the file size limit (RLIMIT_FSIZE) to the trace's size, or a few bytes
// past it, and write ten more; argv[3] "handled" sets up the tool's signal
// handling first, "default" leaves SIGXFSZ to kill. Prints "done" at the end.
#include "CommandLine.h"
#include "PortAccess.h"
#include "SignalBridge.h"

#include <QCoreApplication>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The route and the trace as the tool takes them: QUARNET_PORT through its
// command line, a refused value ending the process before any write. No
// guardian: its off byte would add a line after the trace the test checks.
std::unique_ptr<PortAccess> portAsTheToolOpensIt()
{
    const CommandLine command = parseCommandLine({QStringLiteral("quarnet")}, qgetenv("QUARNET_PORT"));
    if (const std::optional<int> status = finishCommandLine(command))
        std::exit(*status);
    return std::make_unique<PortAccess>(PortAccess::optionsFor(command.port, command.origin));
}

int writeOverSizeLimit(int argc, char **argv, bool across, long count)
{
    QCoreApplication app(argc, argv);
    std::unique_ptr<SignalBridge> signalHandling;
    if (std::strcmp(argv[3], "handled") == 0)
        signalHandling = std::make_unique<SignalBridge>();
    std::unique_ptr<PortAccess> access = portAsTheToolOpensIt();
    for (long written = 0; written < count; ++written)
        access->Out32(0x378, static_cast<std::int16_t>(written % 256));
    struct stat trace;
    if (::stat(std::getenv("QUARNET_PORT_TRACE"), &trace) != 0)
        return 3;
    const rlim_t limit = static_cast<rlim_t>(trace.st_size) + (across ? 5 : 0);
    const struct rlimit fileSize = {limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &fileSize) != 0)
        return 4;
    for (long written = count; written < count + 10; ++written)
        access->Out32(0x378, static_cast<std::int16_t>(written % 256));
    [[maybe_unused]] const ssize_t told = write(STDOUT_FILENO, "done\n", 5);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    const char *ending = argv[1];
    const long count = std::strtol(argv[2], nullptr, 10);
    if (std::strstr(ending, "-size-limit") && argc == 4)
        return writeOverSizeLimit(argc, argv, std::strcmp(ending, "across-size-limit") == 0, count);
    std::unique_ptr<PortAccess> access = portAsTheToolOpensIt();
    if (std::strcmp(ending, "stray") == 0) {
        for (std::int16_t port : {0x3, 0x3, 0x123, 0x3, 0x123, -1})
            access->Out32(port, 64);
        return 0;
    }
    long written = 0;
    for (; written < count; ++written)
        access->Out32(0x378, static_cast<std::int16_t>(written % 256));

    if (std::strcmp(ending, "_exit") == 0)
        _exit(0);
    if (std::strcmp(ending, "shutdown") == 0) {
        access->shutdown();
        _exit(0);
    }
    if (std::strcmp(ending, "signal") == 0) {
        [[maybe_unused]] const ssize_t told = write(STDOUT_FILENO, "ready\n", 6);
        for (;; ++written)
            access->Out32(0x378, static_cast<std::int16_t>(written % 256));
    }
    return 0;
}
