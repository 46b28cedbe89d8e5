#include "support/Paths.h"

#include "support/AppIdentity.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace {

// An XDG base directory: the variable when it holds an absolute path, else the default under home.
QString xdgBase(const char* variable, const QString& fallbackUnderHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return Paths::home() + u'/' + fallbackUnderHome;
}

} // namespace

namespace Paths {

QString home()
{
    return QDir::homePath();
}

QString support()
{
    return xdgBase("XDG_DATA_HOME", u".local/share"_s) + u"/Bonkbell"_s;
}

QString inbox()
{
    // Taken literally: no tilde expansion, relative to the current directory when relative.
    const QString overridden = qEnvironmentVariable("BONKBELL_INBOX");
    if (!overridden.isEmpty())
        return overridden;
    return support() + u"/Inbox"_s;
}

QString logDir()
{
    return xdgBase("XDG_STATE_HOME", u".local/state"_s) + u"/Bonkbell"_s;
}

QString log()
{
    return logDir() + u"/Bonkbell.log"_s;
}

QString configDir()
{
    return xdgBase("XDG_CONFIG_HOME", u".config"_s) + u"/Bonkbell"_s;
}

QString preferences()
{
    return configDir() + u"/Bonkbell.conf"_s;
}

QString launchAgent()
{
    return xdgBase("XDG_CONFIG_HOME", u".config"_s) + u"/autostart/"_s + QString::fromLatin1(AppIdentity::id)
        + u".desktop"_s;
}

} // namespace Paths
