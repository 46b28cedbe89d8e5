#pragma once

#include <QApplication>
#include <QWidget>

// The top-level window of that name, else none; unless `shownOnly` is false, only a visible one.
template <class Window = QWidget> Window* topLevelWindow(const QString& name, bool shownOnly = true)
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == name && (window->isVisible() || !shownOnly))
            return qobject_cast<Window*>(window);
    return nullptr;
}
