#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Starting the app at login: an XDG autostart entry that exists exactly while it is on.
class Autostart {
public:
    explicit Autostart(QString path);

    bool isOn() const;
    // Writes the entry for `executable`, or removes it. Logs what it did; false when it failed.
    bool setOn(bool on, const QString& executable);

    // The desktop entry that starts `executable` in graphical sessions, once the panel is up.
    static QByteArray entry(const QString& executable);

private:
    std::optional<QString> write(const QByteArray& bytes) const;

    QString m_path;
};
