#pragma once

#include <QString>

// Starting the app at login: an XDG autostart entry that exists exactly while it is on.
class Autostart {
public:
    explicit Autostart(QString path);

    bool isOn() const;
    // Writes the entry for `executable`, or removes it. Logs what it did; false when it failed.
    bool setOn(bool on, const QString& executable);

private:
    QString m_path;
};
