#include "ui/Autostart.h"

#include <QFile>

Autostart::Autostart(QString path)
    : m_path(std::move(path))
{
}

bool Autostart::isOn() const
{
    return QFile::exists(m_path);
}

bool Autostart::setOn(bool, const QString&)
{
    return false;
}
