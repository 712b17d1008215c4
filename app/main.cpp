#include "Application.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    Launch launch = Launch::before(argc, argv);
    if (launch.exitStatus)
        return *launch.exitStatus;
    QApplication app(argc, argv);
    if (const std::optional<int> status = launch.afterWindowSystem())
        return *status;
    Application quarnet(launch.command);
    quarnet.start();
    app.exec();
    quarnet.endAfterEventLoop();
    return 0;
}
