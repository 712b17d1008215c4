#include "Form1.h"
#include "Form2.h"
#include "UiFakes.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>

// Renders both windows as the tool draws them and saves them as
// form1.png and form2.png in the given folder (default: docs).
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));

    DriveState state;
    RecordingPort port;
    ScriptedPump pump;
    ForbiddenProcess process;
    RecordingShell shell;
    Form1 main(state, port, pump, process, shell);
    main.show();
    Form2 help;
    help.show();
    QCoreApplication::processEvents();

    bool saved = main.grab().save(folder.filePath(QStringLiteral("form1.png")));
    saved = help.grab().save(folder.filePath(QStringLiteral("form2.png"))) && saved;
    if (!saved)
        QTextStream(stderr) << "could not write the pictures into " << folder.absolutePath() << '\n';
    return saved ? 0 : 1;
}
