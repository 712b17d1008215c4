#pragma once

#include "PortMode.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

// What the command line (and QUARNET_PORT) ask of this run.
struct CommandLine
{
    enum class Action { Run, Help, Version, Refuse };
    Action action = Action::Run;
    // Help and Version print it on standard output, Refuse on standard error.
    QString text;
    PortChoice port;
    // Where a route other than the default came from, for the lines about it.
    QString origin;
    // --monitor: the live view of the outputs opens beside the main window.
    bool monitor = false;
    // Refused for options this parser does not know; they may be the window
    // system's own (-platform, -display) and are looked at again once the
    // application has taken those out.
    bool unknownOptions = false;
};

// --help, --version, --monitor and --port ROUTE; --port wins over
// QUARNET_PORT, and both go through parsePortChoice. A refused route names
// the accepted forms; an unknown option or a stray word points to --help.
// Needs no application object, so that it can run before any window system
// is opened.
CommandLine parseCommandLine(const QStringList &arguments, QByteArrayView environmentPort);

// The route the command line asks for, found before the window system has
// taken out its own options: what the direct I/O permission, taken before
// root is given up, is taken for. Auto when it names none it can read.
PortChoice routeBeforeTheWindowSystem(const CommandLine &command, const QStringList &arguments,
                                      QByteArrayView environmentPort);

// Prints what Help, Version and Refuse say and gives the exit status they
// end with (0, 0 and 2); none for Run.
std::optional<int> finishCommandLine(const CommandLine &command);
