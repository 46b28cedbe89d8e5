#include "app/AppDelegate.h"
#include "app/PlatformChoice.h"
#include "cli/CLI.h"
#include "cli/ReloadNotice.h"
#include "cli/RunningApp.h"
#include "keychain/Keychain.h"
#include "support/AppIdentity.h"
#include "support/Log.h"
#include "support/Paths.h"
#include "support/Settings.h"
#include "support/SystemScheduler.h"
#include "watchers/RevenueCatWatcher.h"
#include "watchers/StripeWatcher.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {

int runApplication(int argc, char** argv)
{
    const PlatformChoice platform = PlatformChoice::forEnvironment(QProcessEnvironment::systemEnvironment());
    if (!platform.qpaPlatform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform.qpaPlatform);
    QApplication app(argc, argv);
    // Said only once the app is up: where no platform starts at all, Qt's own message says why.
    if (!platform.warning.isEmpty())
        log(platform.warning);
    app.setApplicationName(QString::fromLatin1(AppIdentity::name));
    app.setApplicationVersion(QString::fromLatin1(AppIdentity::version));
    app.setDesktopFileName(QString::fromLatin1(AppIdentity::id));
    // No main window: closing the settings window must not end the app.
    app.setQuitOnLastWindowClosed(false);
    Keychain keychain;
    AppDelegate delegate(Settings::shared(), SystemScheduler::shared(), keychain);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return app.exec();
}

int runCommandLine(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    silenceLog();
    QTextStream out(stdout), err(stderr), in(stdin);
    Keychain keychain;
    Settings& settings = Settings::shared();
    Scheduler& scheduler = SystemScheduler::shared();
    CLI::Context context{
        out,
        err,
        in,
        // A connect starts watching anew: what the app remembers having announced goes too.
        {settings, keychain, scheduler, StripeWatcher::defaultBase(), {}, Paths::logDir()},
        {settings, keychain, scheduler, RevenueCatWatcher::defaultBase()},
        ReloadNotice::post,
        RunningApp::statusLines,
        Paths::inbox(),
        scheduler,
    };
    return QCoro::waitFor(CLI::run(app.arguments().mid(1), context));
}

} // namespace

int main(int argc, char** argv)
{
    // The mode is chosen before any application object exists.
    return argc < 2 ? runApplication(argc, argv) : runCommandLine(argc, argv);
}
