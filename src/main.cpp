#include "app/AppDelegate.h"
#include "cli/CLI.h"
#include "support/Settings.h"
#include "support/SystemScheduler.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {

int runApplication(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Bonkbell"));
    AppDelegate delegate(Settings::shared(), SystemScheduler::shared());
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return app.exec();
}

int runCommandLine(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    return CLI::run(app.arguments().mid(1), out);
}

} // namespace

int main(int argc, char** argv)
{
    // The mode is chosen before any application object exists.
    return argc < 2 ? runApplication(argc, argv) : runCommandLine(argc, argv);
}
