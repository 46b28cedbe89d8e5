#include "ui/StatusMenu.h"

#include <QMenu>
#include <QSystemTrayIcon>

StatusMenu::StatusMenu(Parts parts, QObject* parent)
    : QObject(parent)
    , m_parts(parts)
    , m_menu(new QMenu)
{
}

StatusMenu::~StatusMenu()
{
    delete m_menu;
}
