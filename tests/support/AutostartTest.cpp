#include "support/Autostart.h"
#include "common/TestEnvironment.h"
#include "support/AppIdentity.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gmock/gmock.h>

#include <glib.h>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::readFile;
using testing::ElementsAre;

// One value of an entry as a GLib-based session reads it.
QByteArray entryValue(const QByteArray& entry, const char* key)
{
    g_autoptr(GKeyFile) file = g_key_file_new();
    g_autofree gchar* value
        = g_key_file_load_from_data(file, entry.constData(), gsize(entry.size()), G_KEY_FILE_NONE, nullptr)
        ? g_key_file_get_string(file, "Desktop Entry", key, nullptr)
        : nullptr;
    return QByteArray(value);
}

// The program and arguments of an entry's Exec=, so a quoting mistake shows up as a wrong path
// (%% is the one field code an entry of ours may hold).
QStringList execArguments(const QByteArray& entry)
{
    g_auto(GStrv) argv = nullptr;
    QStringList out;
    if (g_shell_parse_argv(entryValue(entry, "Exec").replace("%%", "%").constData(), nullptr, &argv, nullptr))
        for (gchar** argument = argv; *argument; ++argument)
            out.append(QString::fromUtf8(*argument));
    return out;
}

TEST(AutostartTest, OnWritesTheEntryOffRemovesItAndFailuresLeaveItOff)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"config/autostart/com.bonkbell.mac.desktop"_s);
    Autostart autostart{path};
    TestEnvironment::takeLogMessages();
    EXPECT_FALSE(autostart.setOn(true, QString())) << "no executable path: nothing to start";
    ASSERT_TRUE(autostart.setOn(true, u"/usr/bin/bonkbell"_s)) << "the missing directory is created";
    EXPECT_TRUE(autostart.isOn());
    EXPECT_EQ(QFile::permissions(path) & 0x0777, QFileDevice::Permissions(0x0644));
    EXPECT_THAT(QDir(dir.filePath(u"config/autostart"_s)).entryList(QDir::Files | QDir::Hidden),
        ElementsAre("com.bonkbell.mac.desktop"))
        << "no temporary file is left behind";
    EXPECT_THAT(readFile(path).split('\n'),
        testing::IsSupersetOf(
            {"[Desktop Entry]", "Type=Application", "Name=Bonkbell", "Terminal=false", "X-GNOME-Autostart-enabled=true",
                "X-GNOME-Autostart-Delay=2", "X-KDE-autostart-after=panel", "X-LXQt-Need-Tray=true"}));
    EXPECT_EQ(entryValue(readFile(path), "Icon"), AppIdentity::id) << "the icon the installed desktop file names";
    EXPECT_TRUE(autostart.setOn(false, u"/usr/bin/bonkbell"_s));
    EXPECT_FALSE(autostart.isOn());
    // Already gone (someone else removed it): still off, still said so.
    EXPECT_TRUE(autostart.setOn(false, u"/usr/bin/bonkbell"_s));
    // Where the entry cannot be written it stays off, and the log says why.
    ASSERT_TRUE(QDir(dir.filePath(u"config"_s)).rmdir(u"autostart"_s));
    TestEnvironment::writeFile(dir.filePath(u"config/autostart"_s), "a file, not a directory");
    EXPECT_FALSE(autostart.setOn(true, u"/usr/bin/bonkbell"_s));
    EXPECT_FALSE(autostart.isOn());
    EXPECT_THAT(TestEnvironment::takeLogMessages(),
        ElementsAre(u"open at login: on (%1)"_s.arg(path), "open at login: off", "open at login: off",
            u"ERROR could not write %1: Not a directory"_s.arg(path)));
    // Any executable path survives the quoting.
    ASSERT_TRUE(QFile::remove(dir.filePath(u"config/autostart"_s)));
    for (const QString& executable : {u"/opt/My Apps/bonkbell"_s, u"/home/o'brien/\"quoted\"/bonkbell"_s,
             u"/srv/back\\slash/two\\\\bonkbell"_s, u"/tmp/$HOME/${x}/bonkbell"_s, u"/tmp/`id`/bonkbell"_s,
             u"/tmp/100%/%f/bonkbell"_s, u"/tmp/tab\there/new\nline/bonkbell"_s, u"/home/zoë/ünï/bonkbell"_s}) {
        SCOPED_TRACE(executable.toStdString());
        ASSERT_TRUE(autostart.setOn(true, executable));
        EXPECT_THAT(execArguments(readFile(path)), ElementsAre(executable));
        // It prints what it finds wrong; -2 when it is missing (desktop-file-utils).
        EXPECT_EQ(QProcess::execute(u"desktop-file-validate"_s, {path}), 0);
    }
    // Worked out by hand: quoting escapes \ and $, the file format then doubles every backslash.
    EXPECT_EQ(Autostart::entry(u"/a b/c\\d$e"_s).split('\n').at(3), R"(Exec="/a b/c\\\\d\\$e")");
}

} // namespace
