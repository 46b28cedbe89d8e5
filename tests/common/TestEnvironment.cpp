#include "common/TestEnvironment.h"

#include "support/Paths.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace TestEnvironment {

QStringList takeLogMessages()
{
    QFile file(Paths::log());
    if (!file.open(QIODevice::ReadWrite))
        return {};
    QStringList messages;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts))
        messages.append(line.mid(line.indexOf(QStringLiteral("  ")) + 2));
    file.resize(0);
    return messages;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    for (QDeadlineTimer deadline(timeoutMs); !condition(); QThread::msleep(2)) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

} // namespace TestEnvironment
