#include "support/LogFile.h"

#include "support/PrivateDirectory.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

LogFile::LogFile(QString path, qint64 cap)
    : m_path(std::move(path))
    , m_cap(cap)
{
}

void LogFile::rotateIfFull() const
{
    const QByteArray name = QFile::encodeName(m_path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0 || info.st_size <= m_cap)
        return;
    const QByteArray older = name + ".1";
    ::unlink(older.constData());
    ::rename(name.constData(), older.constData());
}

void LogFile::append(const QByteArray& bytes) const
{
    rotateIfFull();
    const QByteArray name = QFile::encodeName(m_path);
    int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        makePrivateDirectory(QFileInfo(m_path).path());
        // Customer names and amounts pass through the log: keep it private.
        fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    }
    if (fd < 0)
        return;
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        data += written;
        left -= written;
    }
    ::close(fd);
}
