#include "support/PrivateDirectory.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

std::optional<QString> makePrivateDirectory(const QString& path)
{
    const QString absolute = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    const QByteArray full = QFile::encodeName(absolute);
    // Walk the path from the root; every component that is missing is created private.
    for (qsizetype end = 1; end <= full.size(); ++end) {
        if (end < full.size() && full.at(end) != '/')
            continue;
        const QByteArray prefix = full.left(end);
        if (::mkdir(prefix.constData(), 0700) == 0 || errno == EEXIST)
            continue;
        if (errno == EACCES || errno == EPERM || errno == EROFS) {
            // A parent we may not write to can still exist; only a missing one is an error.
            struct stat info {};
            if (::stat(prefix.constData(), &info) == 0 && S_ISDIR(info.st_mode))
                continue;
        }
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    struct stat info {};
    if (::stat(full.constData(), &info) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISDIR(info.st_mode))
        return QString::fromLocal8Bit(std::strerror(ENOTDIR));
    return std::nullopt;
}
