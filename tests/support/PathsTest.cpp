#include "support/Paths.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

// Restores one environment variable when the test ends.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv() { m_had ? qputenv(m_name, m_old) : qunsetenv(m_name); }

private:
    const char* m_name;
    QByteArray m_old;
    bool m_had;
};

TEST(Paths, FollowTheXdgDirectories)
{
    ScopedEnv data("XDG_DATA_HOME", "/x/data");
    ScopedEnv state("XDG_STATE_HOME", "/x/state");
    ScopedEnv config("XDG_CONFIG_HOME", "/x/config");
    EXPECT_EQ(Paths::support(), QStringLiteral("/x/data/Bonkbell"));
    EXPECT_EQ(Paths::inbox(), QStringLiteral("/x/data/Bonkbell/Inbox"));
    EXPECT_EQ(Paths::log(), QStringLiteral("/x/state/Bonkbell/Bonkbell.log"));
    EXPECT_EQ(Paths::preferences(), QStringLiteral("/x/config/Bonkbell/Bonkbell.conf"));
    EXPECT_EQ(Paths::launchAgent(), QStringLiteral("/x/config/autostart/com.bonkbell.mac.desktop"));
}

TEST(Paths, UnsetOrRelativeXdgDirectoriesFallBackUnderHome)
{
    ScopedEnv data("XDG_DATA_HOME", "");
    ScopedEnv state("XDG_STATE_HOME", "relative/state");
    EXPECT_EQ(Paths::support(), QDir::homePath() + QStringLiteral("/.local/share/Bonkbell"));
    EXPECT_EQ(Paths::logDir(), QDir::homePath() + QStringLiteral("/.local/state/Bonkbell"));
}

TEST(Paths, InboxOverrideIsTakenLiterallyUnlessEmpty)
{
    ScopedEnv data("XDG_DATA_HOME", "/x/data");
    {
        ScopedEnv inbox("BONKBELL_INBOX", "");
        EXPECT_EQ(Paths::inbox(), QStringLiteral("/x/data/Bonkbell/Inbox"));
    }
    {
        ScopedEnv inbox("BONKBELL_INBOX", "~/drop");
        EXPECT_EQ(Paths::inbox(), QStringLiteral("~/drop"));
    }
}

} // namespace
