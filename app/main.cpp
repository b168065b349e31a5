// The program 758: controls a Kalvore loudspeaker management processor over
// a serial port.
#include <QApplication>

#include "shell/my758_app.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("KALVORE"));
    QCoreApplication::setApplicationName(QStringLiteral("KALVORE"));

    CMy758App the_app;
    // Without a display nobody could answer a message box: start-up
    // messages then go to standard error instead of waiting forever.
    if (CMy758App::HeadlessPlatform()) the_app.setMessageMode(CMy758App::MessageMode::kStderr);

    // argv as QApplication left it: its own options are taken out.
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    switch (the_app.InitInstance(args)) {
    case CMy758App::StartResult::kRunning: return app.exec();
    case CMy758App::StartResult::kAlreadyRunning: return 1;
    case CMy758App::StartResult::kFailed: return 1;
    }
    return 1;
}
