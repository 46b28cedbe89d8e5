#pragma once

#include "common/TestEnvironment.h"
#include "support/AppIdentity.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

// The app's start line begins with this, the version being the build's own.
inline const QString startedV = QStringLiteral("started v") + QLatin1StringView(AppIdentity::version);
inline const QUrl nowhere(QStringLiteral("http://127.0.0.1:1"));

// The real executable in a private HOME, XDG tree and inbox, with its service addresses
// pointed wherever the test says (nowhere that answers, unless told); killed at the end of the test.
class AppProcessTest : public testing::Test {
protected:
    QTemporaryDir root;
    QString inbox = root.filePath(QStringLiteral("drop box"));
    QString logPath = root.filePath(QStringLiteral("state/Bonkbell/Bonkbell.log"));
    QString preferences = root.filePath(QStringLiteral("config/Bonkbell/Bonkbell.conf"));
    QProcess app;
    QString cliOutput; // what the last command line printed
    AppProcessTest() { configure(nowhere, nowhere); }
    void configure(const QUrl& stripeBase, const QUrl& revenueCatBase)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : {std::pair("BONKBELL_STRIPE_BASE", stripeBase.toString()),
                 std::pair("BONKBELL_RC_BASE", revenueCatBase.toString()), std::pair("BONKBELL_INBOX", inbox),
                 std::pair("BONKBELL_POLL_SECONDS", QStringLiteral("0.2")),
                 std::pair("GSETTINGS_BACKEND", QStringLiteral("keyfile"))}) // desktop settings in the private XDG tree
            env.insert(QLatin1StringView(name), value);
        for (const auto& [name, dir] : {std::pair("HOME", "home"), std::pair("XDG_DATA_HOME", "data"),
                 std::pair("XDG_STATE_HOME", "state"), std::pair("XDG_CONFIG_HOME", "config")})
            env.insert(QLatin1StringView(name), root.filePath(QLatin1StringView(dir)));
        app.setProcessEnvironment(env);
        app.setProgram(QStringLiteral(BONKBELL_EXECUTABLE));
    }
    void startApp()
    {
        app.start();
        ASSERT_TRUE(TestEnvironment::waitUntil([&] {
            return !logLines(u'^' + QRegularExpression::escape(startedV)).isEmpty();
        })) << logText();
    }
    // The executable as a command line in the app's environment, `input` on its standard input.
    int runCommandLine(const QStringList& arguments, const QByteArray& input = {})
    {
        QProcess cli;
        cli.setProcessEnvironment(app.processEnvironment());
        cli.start(app.program(), arguments);
        cli.write(input);
        cli.closeWriteChannel();
        // The loopback servers live in this process: keep its event loop turning.
        // One that never ends counts as a failure, not as its last exit code.
        const bool ended = TestEnvironment::waitUntil([&] { return cli.state() == QProcess::NotRunning; }, 30000);
        cliOutput = QString::fromUtf8(cli.readAllStandardOutput());
        return ended ? cli.exitCode() : -1;
    }
    void publish(const QByteArray& json, const QString& name = QStringLiteral("e"))
    {
        const QString hidden = inbox + QStringLiteral("/.") + name + QStringLiteral(".tmp");
        TestEnvironment::writeFile(hidden, json);
        QFile::rename(hidden, inbox + u'/' + name + QStringLiteral(".json"));
    }
    void TearDown() override
    {
        app.kill(); // nothing when it is not running
        app.waitForFinished();
    }
    QStringList logMessages() const { return TestEnvironment::logMessages(logPath); }
    QStringList logLines(const QString& pattern) const { return logMessages().filter(QRegularExpression(pattern)); }
    std::string logText() const { return logMessages().join(u'\n').toStdString(); }
};
