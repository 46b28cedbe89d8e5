#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QSet>

class QDBusMessage;

// Whether the screen is locked or blanked, so nobody sees the monkey: from each source a desktop
// may offer, the session's screen saver (the freedesktop one and GNOME's) and logind's lock hint
// for this session on the system bus. Each is followed through its own change signal; a source
// this system lacks counts as off.
class ScreenLock : public QObject {
    Q_OBJECT
public:
    ScreenLock(QDBusConnection session, QDBusConnection system, QObject* parent = nullptr);

    bool isOn() const { return !m_lockedBy.isEmpty(); }

Q_SIGNALS:
    void changed(bool on);

private Q_SLOTS:
    // QtDBus hands bus signals only to slots named by signature; the message says which saver spoke.
    void saverActiveChanged(bool active, const QDBusMessage& message);
    void sessionPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    void readSaver(const QString& name);
    void findSession();
    void readLockedHint();
    void set(const QString& source, bool locked);

    QDBusConnection m_session;
    QDBusConnection m_system;
    QString m_sessionPath; // logind's object for this session, once found
    QSet<QString> m_lockedBy;
};
