#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>

// Which Qt platform the app asks for, decided from its environment before the application
// object exists. The overlay places its own windows, which only X11 allows: with an X display
// (XWayland included) the app runs on xcb even where Qt would pick Wayland.
struct PlatformChoice {
    // The value to give QT_QPA_PLATFORM; empty: leave the choice to Qt.
    QByteArray qpaPlatform;
    // A line for the log once it is up; empty when all is well.
    QString warning;

    static PlatformChoice forEnvironment(const QProcessEnvironment& environment);
};
