#pragma once

#include <QByteArray>
#include <QString>

// A size-capped log file with one older generation (<path>.1). Each append opens,
// writes and closes the file, so no handle is shared and a deleted directory comes back.
class LogFile {
public:
    static constexpr qint64 defaultCap = 1'000'000;

    explicit LogFile(QString path, qint64 cap = defaultCap);

    // Appends bytes; failures are swallowed (the caller has already written to stderr).
    void append(const QByteArray& bytes) const;

    QString path() const { return m_path; }

private:
    void rotateIfFull() const;

    QString m_path;
    qint64 m_cap;
};
