#include "support/Autostart.h"

#include "support/AppIdentity.h"
#include "support/Log.h"
#include "support/PrivateDirectory.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <system_error>

using namespace Qt::StringLiterals;

namespace {

// `executable` as the one argument of an Exec= value. Two layers: the argument is double-quoted
// with \ " ` $ backslash-escaped, then the value gets the file format's string escapes (so one
// literal backslash ends up as four).
QString execArgument(const QString& executable)
{
    QString quoted = u"\""_s;
    for (const QChar c : executable) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    quoted += u'"';

    QString value;
    for (const QChar c : quoted) {
        switch (c.unicode()) {
        case '\\':
            value += u"\\\\"_s;
            break;
        case '\n':
            value += u"\\n"_s;
            break;
        case '\t':
            value += u"\\t"_s;
            break;
        case '\r':
            value += u"\\r"_s;
            break;
        case '%':
            value += u"%%"_s;
            break; // a lone % would start a field code
        default:
            value += c;
        }
    }
    return value;
}

} // namespace

Autostart::Autostart(QString path)
    : m_path(std::move(path))
{
}

bool Autostart::isOn() const
{
    return QFile::exists(m_path);
}

bool Autostart::setOn(bool on, const QString& executable)
{
    if (!on) {
        // Someone may have removed it already; off is off either way.
        QFile::remove(m_path);
        log(u"open at login: off"_s);
        return true;
    }
    if (executable.isEmpty())
        return false;
    if (const auto error = write(entry(executable))) {
        log(u"ERROR could not write %1: %2"_s.arg(m_path, *error));
        return false;
    }
    log(u"open at login: on (%1)"_s.arg(m_path));
    return true;
}

QByteArray Autostart::entry(const QString& executable)
{
    const QStringList lines{
        u"[Desktop Entry]"_s,
        u"Type=Application"_s,
        u"Name=Bonkbell"_s,
        u"Exec="_s + execArgument(executable),
        // The icon the installed desktop file names.
        u"Icon="_s + QLatin1StringView(AppIdentity::id),
        u"Terminal=false"_s,
        u"X-GNOME-Autostart-enabled=true"_s,
        // Give the panel a moment, so the tray icon has a host when the app starts.
        u"X-GNOME-Autostart-Delay=2"_s,
        u"X-KDE-autostart-after=panel"_s,
        u"X-LXQt-Need-Tray=true"_s,
    };
    return (lines.join(u'\n') + u'\n').toUtf8();
}

std::optional<QString> Autostart::write(const QByteArray& bytes) const
{
    // ~/.config/autostart is often missing on a fresh account.
    if (const auto error = makePrivateDirectory(QFileInfo(m_path).path()))
        return error;
    // QSaveFile writes a temporary file beside the target and renames it into place on commit,
    // so a session starting meanwhile never reads half an entry.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.setPermissions(
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return std::nullopt;
}
