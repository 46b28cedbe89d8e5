#include "watchers/SeenCharges.h"

#include "support/Log.h"
#include "support/PrivateDirectory.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QByteArray line(const QString& id, qint64 created)
{
    return QByteArray::number(created) + ' ' + id.toUtf8() + '\n';
}

} // namespace

SeenCharges::SeenCharges(QString file)
    : m_file(std::move(file))
{
}

void SeenCharges::load()
{
    if (m_file.isEmpty())
        return;
    m_created.clear();
    m_fileBytes = m_liveBytes = 0;
    QFile file(m_file);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    m_fileBytes = bytes.size();
    for (const QByteArray& entry : bytes.split('\n')) {
        const qsizetype space = entry.indexOf(' ');
        bool ok = false;
        const qint64 created = entry.left(space).toLongLong(&ok);
        // A line cut short by a crash mid-write has no id after its space: passed over.
        if (space > 0 && ok && space + 1 < entry.size())
            m_created.insert(QString::fromUtf8(entry.mid(space + 1)), created);
    }
    for (auto it = m_created.cbegin(); it != m_created.cend(); ++it)
        m_liveBytes += line(it.key(), it.value()).size();
}

bool SeenCharges::add(const QString& id, qint64 created)
{
    const QByteArray entry = line(id, created);
    if (m_fileBytes + entry.size() > maxBytes) {
        keepWithin(maxBytes / 2);
        rewrite();
    }
    if (!m_file.isEmpty()) {
        if (const auto error = makePrivateDirectory(QFileInfo(m_file).path())) {
            log(u"ERROR cannot write %1: %2"_s.arg(m_file, *error));
            return false;
        }
        QFile file(m_file);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(entry) != entry.size()
            || !file.flush()) {
            log(u"ERROR cannot write %1: %2"_s.arg(m_file, file.errorString()));
            return false;
        }
        m_fileBytes += entry.size();
    }
    if (const auto known = m_created.constFind(id); known != m_created.cend())
        m_liveBytes -= line(id, *known).size();
    m_liveBytes += entry.size();
    m_created.insert(id, created);
    return true;
}

void SeenCharges::clear()
{
    m_created.clear();
    m_liveBytes = 0;
    rewrite();
}

void SeenCharges::forgetBefore(qint64 listedFrom)
{
    m_created.removeIf([&](const auto& entry) {
        const bool gone = entry.value() < listedFrom;
        if (gone)
            m_liveBytes -= line(entry.key(), entry.value()).size();
        return gone;
    });
    // Mostly forgotten lines: written anew, so the file stays the size of what still counts.
    if (m_fileBytes > 2 * m_liveBytes + 4096)
        rewrite();
}

void SeenCharges::keepWithin(qint64 bytes)
{
    QList<std::pair<qint64, QString>> byAge;
    for (auto it = m_created.cbegin(); it != m_created.cend(); ++it)
        byAge.append({it.value(), it.key()});
    std::sort(byAge.begin(), byAge.end());
    for (const auto& [created, id] : byAge) {
        if (m_liveBytes <= bytes)
            break;
        m_liveBytes -= line(id, created).size();
        m_created.remove(id);
    }
}

void SeenCharges::rewrite()
{
    if (m_file.isEmpty())
        return;
    QByteArray bytes;
    bytes.reserve(m_liveBytes);
    for (auto it = m_created.cbegin(); it != m_created.cend(); ++it)
        bytes += line(it.key(), it.value());
    QSaveFile file(m_file);
    makePrivateDirectory(QFileInfo(m_file).path());
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        m_fileBytes = bytes.size();
    else
        log(u"ERROR cannot write %1: %2"_s.arg(m_file, file.errorString()));
}
