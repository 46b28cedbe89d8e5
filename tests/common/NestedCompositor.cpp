#include "common/NestedCompositor.h"

#include "common/TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
const QString nestedSwayUser = u"bonkbell-test"_s;
const QString nestedSocket = u"wl-nested"_s; // sway names its own
} // namespace

NestedCompositor::NestedCompositor(Kind kind, QProcessEnvironment base)
    : m_kind(kind)
    , m_base(std::move(base))
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

NestedCompositor::~NestedCompositor()
{
    m_process.kill();
    m_process.waitForFinished();
}

bool NestedCompositor::start(QSize size)
{
    if (m_kind == Kind::Sway && geteuid() == 0 && !prepareSwayUser())
        return false;
    QProcessEnvironment env = m_base;
    env.insert(u"XDG_RUNTIME_DIR"_s, m_runtime.path());
    env.remove(u"WAYLAND_DISPLAY"_s);
    if (m_kind == Kind::Sway) {
        env.insert(u"WLR_BACKENDS"_s, u"x11"_s);
        env.insert(u"WLR_RENDERER"_s, u"pixman"_s); // no GPU under Xvfb
        env.insert(u"HOME"_s, m_runtime.path());    // its user has none
    }
    if (m_kind == Kind::Mutter)
        env.insert(u"MUTTER_DEBUG_DUMMY_MODE_SPECS"_s, u"%1x%2"_s.arg(size.width()).arg(size.height()));
    m_process.setProcessEnvironment(env);
    const QStringList line = command(size);
    m_process.start(line.first(), line.mid(1));
    // The teller, a child of the compositor, writes the session's sockets once XWayland takes clients.
    const QString session = m_runtime.filePath(u"session"_s);
    QStringList told;
    TestEnvironment::waitUntil(
        [&] {
            told = QString::fromUtf8(TestEnvironment::readFile(session)).split(u'\n');
            return told.size() >= 3 || m_process.state() == QProcess::NotRunning;
        },
        30000);
    if (told.size() < 3)
        return false;
    m_wayland = told[0].isEmpty() ? nestedSocket : told[0];
    m_x11 = told[1];
    m_xauthority = told[2];
    return true;
}

QStringList NestedCompositor::command(QSize size) const
{
    const QString teller = writeTeller();
    switch (m_kind) {
    case Kind::Mutter:
        return {u"mutter"_s, u"--nested"_s, u"--wayland"_s, u"--wayland-display="_s + nestedSocket, u"--"_s, u"sh"_s,
            teller};
    case Kind::KWin: {
        // A copy: containers refuse the file capabilities the installed one carries.
        const QString kwin = m_runtime.filePath(u"kwin_wayland"_s);
        QFile::copy(u"/usr/bin/kwin_wayland"_s, kwin);
        return {kwin, u"--x11-display"_s, m_base.value(u"DISPLAY"_s), u"--socket"_s, nestedSocket, u"--xwayland"_s,
            u"--width"_s, QString::number(size.width()), u"--height"_s, QString::number(size.height()),
            u"sh "_s + teller};
    }
    case Kind::Sway: {
        const QString config = m_runtime.filePath(u"sway.config"_s);
        TestEnvironment::writeFile(config,
            u"xwayland force\noutput * resolution %1x%2\nexec sh %3\n"_s.arg(size.width())
                .arg(size.height())
                .arg(teller)
                .toUtf8());
        const QStringList sway{u"sway"_s, u"--config"_s, config};
        return m_swayUser.isEmpty() ? sway
                                    : QStringList{u"setpriv"_s, u"--reuid="_s + m_swayUser, u"--regid="_s + m_swayUser,
                                          u"--clear-groups"_s, u"--"_s}
                + sway;
    }
    }
    return {};
}

// The script the compositor starts in its session: it tells the sockets as the session sees them. mutter ends
// with the command it started, so under mutter and KWin it stays while its compositor runs; sway detaches what
// it starts, and keeps running anyway.
QString NestedCompositor::writeTeller() const
{
    const QString teller = m_runtime.filePath(u"tell.sh"_s), session = m_runtime.filePath(u"session"_s);
    QByteArray script;
    if (!m_swayUser.isEmpty())
        script += "xhost +si:localuser:root >/dev/null\n"; // the clients run as root
    script += "printf '%s\\n%s\\n%s\\n' \"$WAYLAND_DISPLAY\" \"$DISPLAY\" \"$XAUTHORITY\" > " + session.toUtf8()
        + ".new && mv " + session.toUtf8() + ".new " + session.toUtf8() + "\n";
    if (m_kind != Kind::Sway)
        script += "exec tail -f --pid=$PPID /dev/null\n";
    TestEnvironment::writeFile(teller, script);
    return teller;
}

// sway will not run as root: as root, it runs as a system user made for the tests, owning the runtime directory.
bool NestedCompositor::prepareSwayUser()
{
    if (!getpwnam(nestedSwayUser.toUtf8().constData()))
        QProcess::execute(u"useradd"_s,
            {u"--system"_s, u"--no-create-home"_s, u"--home-dir"_s, u"/nonexistent"_s, u"--shell"_s,
                u"/usr/sbin/nologin"_s, nestedSwayUser});
    const passwd* user = getpwnam(nestedSwayUser.toUtf8().constData());
    if (!user || chown(QFile::encodeName(m_runtime.path()).constData(), user->pw_uid, user->pw_gid) != 0)
        return false;
    m_swayUser = nestedSwayUser;
    return true;
}

QString NestedCompositor::output()
{
    return QString::fromUtf8(m_process.readAll());
}

QProcessEnvironment NestedCompositor::environment() const
{
    QProcessEnvironment env = m_base;
    env.insert(u"XDG_RUNTIME_DIR"_s, m_runtime.path());
    env.insert(u"WAYLAND_DISPLAY"_s, m_wayland);
    env.insert(u"DISPLAY"_s, m_x11);
    if (m_xauthority.isEmpty())
        env.remove(u"XAUTHORITY"_s);
    else
        env.insert(u"XAUTHORITY"_s, m_xauthority);
    return env;
}

bool NestedCompositor::swaymsg(const QStringList& arguments) const
{
    const QStringList sockets = QDir(m_runtime.path()).entryList({u"sway-ipc.*.sock"_s}, QDir::System);
    if (sockets.isEmpty())
        return false;
    QProcess process;
    QProcessEnvironment env = m_base;
    env.insert(u"SWAYSOCK"_s, m_runtime.filePath(sockets.first()));
    process.setProcessEnvironment(env);
    process.start(u"swaymsg"_s, arguments);
    return process.waitForFinished() && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}
