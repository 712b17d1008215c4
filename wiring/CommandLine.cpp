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

CommandLine choose(QByteArrayView value, const QString &source, const QString &separator)
{
    QString why;
    const std::optional<PortChoice> choice = parsePortChoice(value, &why);
    const QString origin = source + separator + QString::fromLocal8Bit(value.toByteArray());
    if (!choice)
        return refuse(QStringLiteral("%1 is refused: %2").arg(origin, why));
    return {CommandLine::Action::Run, {}, *choice, origin};
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

    if (!parser.parse(arguments)) {
        CommandLine refused = refuse(parser.errorText());
        refused.unknownOptions = !parser.unknownOptionNames().isEmpty();
        return refused;
    }
    if (parser.isSet(help)) {
        // With no application object yet, Qt cannot name the program itself.
        QString text = parser.helpText();
        text.replace(QLatin1String("<executable_name>"), QFileInfo(arguments.first()).fileName());
        return {CommandLine::Action::Help, text, {}, {}};
    }
    if (parser.isSet(version)) {
        return {CommandLine::Action::Version,
                QCoreApplication::applicationName() + QLatin1Char(' ')
                    + QCoreApplication::applicationVersion() + QLatin1Char('\n'),
                {},
                {}};
    }
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("unexpected \"%1\"").arg(parser.positionalArguments().first()));
    if (parser.isSet(port)) {
        const QStringList values = parser.values(port);
        if (values.size() > 1)
            return refuse(QStringLiteral("--port is given %1 times").arg(values.size()));
        return choose(values.first().toLocal8Bit(), QStringLiteral("--port"), QStringLiteral(" "));
    }
    if (environmentPort.trimmed().isEmpty())
        return {};
    return choose(environmentPort, QStringLiteral("QUARNET_PORT"), QStringLiteral("="));
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
