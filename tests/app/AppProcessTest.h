#pragma once

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

// The real executable in a private HOME, XDG tree and inbox, with its service addresses
// pointed wherever the test says; killed at the end of the test.
class AppProcessTest : public testing::Test {
protected:
    QTemporaryDir root;
    QString inbox = root.filePath(QStringLiteral("drop box"));
    QString logPath = root.filePath(QStringLiteral("state/Bonkbell/Bonkbell.log"));
    QProcess app;

    void configure(const QUrl& stripeBase, const QUrl& revenueCatBase)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("BONKBELL_STRIPE_BASE"), stripeBase.toString());
        env.insert(QStringLiteral("BONKBELL_RC_BASE"), revenueCatBase.toString());
        env.insert(QStringLiteral("BONKBELL_POLL_SECONDS"), QStringLiteral("0.2"));
        env.insert(QStringLiteral("HOME"), root.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), root.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), root.filePath(QStringLiteral("state")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("BONKBELL_INBOX"), inbox);
        app.setProcessEnvironment(env);
        app.setProgram(QStringLiteral(BONKBELL_EXECUTABLE));
    }

    void TearDown() override
    {
        if (app.state() != QProcess::NotRunning) {
            app.kill();
            app.waitForFinished();
        }
    }

    // The log's messages, stamps stripped.
    QStringList logMessages() const
    {
        QFile file(logPath);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList out;
        for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts))
            out.append(line.mid(22));
        return out;
    }
};
