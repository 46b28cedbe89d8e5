#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

// Whether a compositing manager runs on the X display, and news when one starts or stops.
// Without one, translucent windows show black where they should be clear, so overlays then
// cut their windows to the drawn pixels instead. Other platforms count as composited.
class CompositorWatch : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    static CompositorWatch& shared();

    bool isRunning() const { return m_running; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    void changed(bool running);

private:
    CompositorWatch();
    bool queryOwner() const;

    bool m_running = true;
    bool m_x11 = false;
    quint8 m_xfixesEventBase = 0;
    quint32 m_selection = 0;
};
