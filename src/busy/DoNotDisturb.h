#pragma once

#include <QDBusConnection>
#include <QObject>

class QDBusServiceWatcher;
class QDBusVariant;
struct _GSettings;

// The desktop's Do Not Disturb, from each source a desktop may offer: the notification server's
// Inhibited property, and GNOME's show-banners setting. Both are followed through their own
// change signals; a source this desktop lacks counts as off.
class DoNotDisturb : public QObject {
    Q_OBJECT
public:
    explicit DoNotDisturb(QDBusConnection bus, QObject* parent = nullptr);
    ~DoNotDisturb() override;

    bool isOn() const { return m_inhibited || m_bannersOff; }

Q_SIGNALS:
    void changed(bool on);

private Q_SLOTS:
    // QtDBus hands bus signals only to slots named by signature.
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    void readInhibited();
    void set(bool& source, bool on);

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_server;
    _GSettings* m_banners = nullptr;
    bool m_inhibited = false;
    bool m_bannersOff = false;
};
