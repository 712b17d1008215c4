#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

namespace {

CommandLine refuse(const QString &what)
{
    return {CommandLine::Action::Refuse,
            QStringLiteral("quarnet: %1\nquarnet: accepted forms: %2").arg(what, portChoiceForms()),
            {},
            {}};
}

// What is wrong is no route, so the routes are not what to show.
CommandLine refuseUsage(const QString &what, const QString &program)
{
    return {CommandLine::Action::Refuse,
            QStringLiteral("quarnet: %1\nquarnet: %2 --help lists the options").arg(what, program),
            {},
            {}};
}

QString programName(const QStringList &arguments)
{
    return arguments.isEmpty() ? QStringLiteral("quarnet") : QFileInfo(arguments.first()).fileName();
}

CommandLine choose(QByteArrayView value, const QString &source, const QString &separator)
{
    QString why;
    const std::optional<PortChoice> choice = parsePortChoice(value, &why);
    const QString origin = source + separator + QString::fromLocal8Bit(value.toByteArray());
    if (!choice)
        return refuse(QStringLiteral("%1 is refused: %2").arg(origin, why));
    return {CommandLine::Action::Run, {}, *choice, origin};
}

CommandLine chooseRoute(const QStringList &portValues, QByteArrayView environmentPort)
{
    if (portValues.size() > 1)
        return refuse(QStringLiteral("--port is given %1 times").arg(portValues.size()));
    if (!portValues.isEmpty())
        return choose(portValues.first().toLocal8Bit(), QStringLiteral("--port"), QStringLiteral(" "));
    if (environmentPort.trimmed().isEmpty())
        return {};
    return choose(environmentPort, QStringLiteral("QUARNET_PORT"), QStringLiteral("="));
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments, QByteArrayView environmentPort)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Turns a unipolar stepper motor from a parallel port, a USB bit-bang "
                       "adapter or GPIO lines.\n\nRoutes for --port and QUARNET_PORT:\n")
        + portChoiceHelp());
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("The route to the port: %1.").arg(portChoiceForms()),
                                  QStringLiteral("ROUTE"));
    parser.addOption(port);
    const QCommandLineOption monitor(
        QStringLiteral("monitor"),
        QStringLiteral("Opens beside the main window a live view of the port's data lines, the "
                       "motor's rotor, the steps made and the rate delivered."));
    parser.addOption(monitor);

    if (!parser.parse(arguments)) {
        const bool unknown = !parser.unknownOptionNames().isEmpty();
        CommandLine refused = unknown ? refuseUsage(parser.errorText(), programName(arguments))
                                      : refuse(parser.errorText());
        refused.unknownOptions = unknown;
        return refused;
    }
    if (parser.isSet(help)) {
        // With no application object yet, Qt cannot name the program itself.
        QString text = parser.helpText();
        text.replace(QLatin1String("<executable_name>"), programName(arguments));
        return {CommandLine::Action::Help, text, {}, {}};
    }
    if (parser.isSet(version)) {
        return {CommandLine::Action::Version,
                QCoreApplication::applicationName() + QLatin1Char(' ')
                    + QCoreApplication::applicationVersion() + QLatin1Char('\n'),
                {},
                {}};
    }
    if (!parser.positionalArguments().isEmpty()) {
        return refuseUsage(QStringLiteral("unexpected \"%1\"").arg(parser.positionalArguments().first()),
                           programName(arguments));
    }
    CommandLine command = chooseRoute(parser.values(port), environmentPort);
    if (command.action == CommandLine::Action::Run)
        command.monitor = parser.isSet(monitor);
    return command;
}

PortChoice routeBeforeTheWindowSystem(const CommandLine &command, const QStringList &arguments,
                                      QByteArrayView environmentPort)
{
    if (!command.unknownOptions)
        return command.port;
    QByteArray value = environmentPort.toByteArray();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--port") && i + 1 < arguments.size())
            value = arguments[i + 1].toLocal8Bit();
        else if (arguments[i].startsWith(QLatin1String("--port=")))
            value = arguments[i].mid(7).toLocal8Bit();
    }
    if (value.trimmed().isEmpty())
        return {};
    return parsePortChoice(value).value_or(PortChoice{});
}

std::optional<int> finishCommandLine(const CommandLine &command)
{
    switch (command.action) {
    case CommandLine::Action::Run:
        return std::nullopt;
    case CommandLine::Action::Help:
    case CommandLine::Action::Version:
        std::fputs(qPrintable(command.text), stdout);
        return 0;
    case CommandLine::Action::Refuse:
        std::fprintf(stderr, "%s\n", qPrintable(command.text));
        return 2;
    }
    return std::nullopt;
}
