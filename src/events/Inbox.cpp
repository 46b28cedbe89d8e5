#include "events/Inbox.h"

#include "events/InboxFile.h"
#include "support/Log.h"
#include "support/Paths.h"
#include "support/PrivateDirectory.h"
#include "support/Scheduler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Published event files: "json" extension (case-sensitive), not hidden.
bool isEventName(const char* name)
{
    const size_t length = std::strlen(name);
    return name[0] != '.' && length > 5 && std::strcmp(name + length - 5, ".json") == 0;
}

// The event names in the directory, sorted by their bytes (which for UTF-8 is code point order).
std::optional<QList<QByteArray>> listEventNames(const QByteArray& dir)
{
    DIR* stream = ::opendir(dir.constData());
    if (!stream)
        return std::nullopt;
    QList<QByteArray> names;
    while (const dirent* entry = ::readdir(stream)) {
        if (isEventName(entry->d_name))
            names.append(QByteArray(entry->d_name));
    }
    ::closedir(stream);
    std::stable_sort(names.begin(), names.end());
    return names;
}

// Moves without replacing: a file of the same name already in rejected/ makes the move fail.
bool moveWithoutReplacing(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // The file system cannot refuse a replacement by itself.
    struct stat info {};
    return ::lstat(to.constData(), &info) != 0 && errno == ENOENT && ::rename(from.constData(), to.constData()) == 0;
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

Inbox::Inbox(QString dir, Scheduler& scheduler, QObject* parent)
    : QObject(parent)
    , m_dir(std::move(dir))
    , m_scheduler(scheduler)
{
}

Inbox::~Inbox() = default;

void Inbox::start()
{
    if (const auto error = makePrivateDirectory(m_dir))
        log(u"ERROR cannot create inbox %1: %2"_s.arg(m_dir, *error));
    watch();
    scheduleTimer();
    scan();
}

void Inbox::watch()
{
    const int fd = ::open(QFile::encodeName(m_dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int error = errno;
    if (fd >= 0) {
        ::close(fd);
        auto* watcher = new QFileSystemWatcher(this);
        errno = 0;
        if (watcher->addPath(m_dir)) {
            connect(watcher, &QFileSystemWatcher::directoryChanged, this, &Inbox::scan);
            m_source = watcher;
            return;
        }
        error = errno;
        delete watcher;
    }
    log(u"WARN cannot watch %1 (errno %2); polling only"_s.arg(m_dir, QString::number(error)));
}

void Inbox::scheduleTimer()
{
    m_scheduler.after(timerSeconds, this, [this] {
        scan();
        scheduleTimer();
    });
}

void Inbox::scan()
{
    const QByteArray dir = QFile::encodeName(m_dir) + '/';
    const auto names = listEventNames(dir);
    if (!names)
        return;
    Batch batch;
    QStringList files;
    for (const QByteArray& name : *names) {
        if (m_handedOver.contains(name))
            continue;
        const QByteArray path = dir + name;
        const InboxFile file = InboxFile::read(path);
        switch (file.outcome) {
        case InboxFile::Outcome::vanished:
            continue;
        case InboxFile::Outcome::notRegular:
            reject(name, u"WARN not a regular file, moved to rejected/: %1"_s);
            continue;
        case InboxFile::Outcome::tooLarge:
            reject(name, u"WARN event file over 1 MiB moved to rejected/: %1"_s);
            continue;
        case InboxFile::Outcome::read:
            break;
        }
        if (auto event = MonkeyEvent::decode(file.bytes)) {
            batch.append(std::move(*event));
            files.append(QFile::decodeName(name));
            m_handedOver.insert(name);
        } else {
            reject(name, u"WARN unreadable event moved to rejected/: %1"_s);
        }
    }
    if (!batch.isEmpty())
        Q_EMIT eventsArrived(batch, files);
}

void Inbox::release(const QStringList& names)
{
    const QByteArray dir = QFile::encodeName(m_dir) + '/';
    for (const QString& name : names) {
        const QByteArray encoded = QFile::encodeName(name);
        // A failed delete leaves the file to be read again at the next start: played twice
        // rather than lost.
        if (m_handedOver.remove(encoded) && ::unlink((dir + encoded).constData()) != 0 && errno != ENOENT)
            log(u"WARN cannot delete played event %1: %2"_s.arg(name, errnoText(errno)));
    }
}

bool Inbox::holds(const QString& dir, const QString& name)
{
    return QFileInfo::exists(dir + u'/' + name);
}

void Inbox::reject(const QByteArray& name, const QString& warning) const
{
    const QByteArray dir = QFile::encodeName(m_dir);
    const QByteArray rejected = dir + "/rejected";
    ::mkdir(rejected.constData(), 0777);
    moveWithoutReplacing(dir + '/' + name, rejected + '/' + name);
    log(warning.arg(QFile::decodeName(name)));
}

bool Inbox::drop(const MonkeyEvent& event)
{
    return drop(event, Paths::inbox());
}

bool Inbox::drop(const MonkeyEvent& event, const QString& dir)
{
    if (const auto error = publish(event, dir)) {
        log(u"ERROR could not write test event: %1"_s.arg(*error));
        return false;
    }
    return true;
}

std::optional<QString> Inbox::publish(const MonkeyEvent& event, const QString& dir, const QString& name)
{
    const auto micros
        = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
              .count();
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().left(8);
    const QString finalName = name.isEmpty() ? u"%1-%2.json"_s.arg(micros).arg(id) : name;
    const QString finalPath = dir + u'/' + finalName;
    const QString temporaryPath = dir + u"/."_s + finalName + u".tmp"_s;

    if (const auto error = makePrivateDirectory(dir))
        return error;
    QFile file(temporaryPath);
    const QByteArray bytes = event.encode();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        return file.errorString();
    file.close();
    if (::rename(QFile::encodeName(temporaryPath).constData(), QFile::encodeName(finalPath).constData()) != 0)
        return errnoText(errno);
    return std::nullopt;
}
