// Writes through the production port access, then ends the way argv[1] says:
// "return" (normal end), "_exit" (no clean-up at all), "shutdown" (shutdown
// then _exit, as "end the process now" does) or "signal" (prints "ready" and
// keeps writing until the parent kills it). argv[2] is the number of writes.
// "stray" instead writes only to addresses no parallel port has, the way a
// partly typed address box does, to show what the user is told.
#include "PortAccess.h"

#include <cstring>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    const char *ending = argv[1];
    const long count = std::strtol(argv[2], nullptr, 10);
    std::unique_ptr<PortAccess> access = PortAccess::fromEnvironment();
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
