#pragma once

#include <QHash>
#include <QString>

// The charges already announced, each with its `created`, remembered for as long as a listing can
// show them again, however many there are. Kept in an append-only file of "created id" lines: a
// charge is written down the moment its event is queued, one short append each, so a crash or a
// kill right after that never announces it twice. Without a file it lives in memory only.
class SeenCharges {
public:
    // Far beyond any account (about 800,000 charges within one listing's reach); past it the
    // oldest are forgotten first.
    static constexpr qint64 maxBytes = 32 * 1024 * 1024;

    explicit SeenCharges(QString file = {});

    // Reads the file again (another process may have started it anew); none is empty.
    void load();
    bool contains(const QString& id) const { return m_created.contains(id); }
    qsizetype size() const { return m_created.size(); }
    // Written down before it returns; false (nothing remembered) when the file would not take it.
    bool add(const QString& id, qint64 created);
    // Forgets everything, on disk too: watching starts anew.
    void clear();
    // Forgets the charges created before `listedFrom`, which no listing asks for again, and writes
    // the file anew once it holds mostly forgotten lines.
    void forgetBefore(qint64 listedFrom);

private:
    void rewrite();
    void keepWithin(qint64 bytes);

    QString m_file;
    QHash<QString, qint64> m_created;
    qint64 m_fileBytes = 0;
    qint64 m_liveBytes = 0;
};
