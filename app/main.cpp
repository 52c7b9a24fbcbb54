#include "app/Startup.h"
#include "platform/InstanceLock.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    StartupOptions options;
    options.exePath = QCoreApplication::applicationFilePath().toStdString();
    options.lockPath = platform::InstanceLock::defaultPath();
    return VexmoraMain(options);
}
