#include "support/Paths.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

// Sets environment variables for the test and restores them when it ends.
class ScopedEnv {
public:
    ScopedEnv(std::initializer_list<std::pair<const char*, const char*>> values)
    {
        for (const auto& [name, value] : values) {
            m_old.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
            qputenv(name, value);
        }
    }
    ~ScopedEnv()
    {
        for (const auto& [name, value, had] : m_old)
            had ? qputenv(name, value) : qunsetenv(name);
    }

private:
    QList<std::tuple<const char*, QByteArray, bool>> m_old;
};

TEST(Paths, FollowTheXdgDirectories)
{
    ScopedEnv env{{"XDG_DATA_HOME", "/x/data"}, {"XDG_STATE_HOME", "/x/state"}, {"XDG_CONFIG_HOME", "/x/config"}, {"BONKBELL_INBOX", ""}};
    EXPECT_EQ(Paths::support(), u"/x/data/Bonkbell"_s);
    EXPECT_EQ(Paths::inbox(), u"/x/data/Bonkbell/Inbox"_s) << "an empty override counts as none";
    EXPECT_EQ(Paths::log(), u"/x/state/Bonkbell/Bonkbell.log"_s);
    EXPECT_EQ(Paths::preferences(), u"/x/config/Bonkbell/Bonkbell.conf"_s);
    EXPECT_EQ(Paths::launchAgent(), u"/x/config/autostart/com.bonkbell.mac.desktop"_s);
}

TEST(Paths, UnsetOrRelativeXdgDirectoriesFallBackUnderHomeAndTheInboxOverrideIsLiteral)
{
    ScopedEnv env{{"XDG_DATA_HOME", ""}, {"XDG_STATE_HOME", "relative/state"}, {"BONKBELL_INBOX", "~/drop"}};
    EXPECT_EQ(Paths::support(), QDir::homePath() + u"/.local/share/Bonkbell"_s);
    EXPECT_EQ(Paths::logDir(), QDir::homePath() + u"/.local/state/Bonkbell"_s);
    EXPECT_EQ(Paths::inbox(), u"~/drop"_s);
}

} // namespace
