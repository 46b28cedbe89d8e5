#include "common/TestEnvironment.h"

#include "support/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace TestEnvironment {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList logMessages(const QString& path)
{
    QStringList messages;
    for (const QString& line : QString::fromUtf8(readFile(path)).split(u'\n', Qt::SkipEmptyParts))
        messages.append(line.mid(line.indexOf(QStringLiteral("  ")) + 2));
    return messages;
}

QStringList takeLogMessages()
{
    const QStringList messages = logMessages(Paths::log());
    QFile::resize(Paths::log(), 0);
    return messages;
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
    return QTest::qWaitFor(condition, timeoutMs);
}

} // namespace TestEnvironment
