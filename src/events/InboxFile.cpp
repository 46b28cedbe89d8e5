#include "events/InboxFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

InboxFile result(InboxFile::Outcome outcome, QByteArray bytes = {})
{
    return InboxFile{outcome, std::move(bytes)};
}

// Reads at most `limit` + 1 bytes, so a file that grows past the limit is noticed.
bool readAtMost(int fd, qint64 limit, QByteArray& out)
{
    char chunk[64 * 1024];
    while (out.size() <= limit) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        out.append(chunk, qsizetype(got));
    }
    return true;
}

} // namespace

InboxFile InboxFile::read(const QByteArray& path)
{
    struct stat info {};
    if (::stat(path.constData(), &info) != 0)
        return result(Outcome::vanished);
    if (!S_ISREG(info.st_mode))
        return result(Outcome::notRegular);
    if (info.st_size > maxBytes)
        return result(Outcome::tooLarge);

    // Non-blocking and no controlling terminal: the entry may have been swapped since stat.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return result(Outcome::vanished);
    QByteArray bytes;
    bytes.reserve(qsizetype(info.st_size));
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const bool ok = regular && readAtMost(fd, maxBytes, bytes);
    ::close(fd);
    if (!ok)
        return result(Outcome::vanished);
    if (bytes.size() > maxBytes)
        return result(Outcome::tooLarge);
    return result(Outcome::read, std::move(bytes));
}
