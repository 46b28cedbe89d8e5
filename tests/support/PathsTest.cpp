#include "support/Paths.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

// Sets environment variables for the test and restores them when it ends.
struct ScopedEnv {
    QList<std::tuple<const char*, QByteArray, bool>> old;
    ScopedEnv(std::initializer_list<std::pair<const char*, const char*>> values)
    {
        for (const auto& [name, value] : values) {
            old.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
            qputenv(name, value);
        }
    }
    ~ScopedEnv()
    {
        for (const auto& [name, value, had] : old)
            had ? qputenv(name, value) : qunsetenv(name);
    }
};

// Unset or relative XDG directories fall back under home, and the inbox override is taken literally.
TEST(Paths, FollowTheXdgDirectoriesOrFallBackUnderHome)
{
    const ScopedEnv set{{"XDG_DATA_HOME", "/x/data"}, {"XDG_STATE_HOME", "/x/state"}, {"XDG_CONFIG_HOME", "/x/config"},
        {"BONKBELL_INBOX", ""}};
    EXPECT_EQ(Paths::support(), u"/x/data/Bonkbell"_s);
    EXPECT_EQ(Paths::inbox(), u"/x/data/Bonkbell/Inbox"_s) << "an empty override counts as none";
    EXPECT_EQ(Paths::log(), u"/x/state/Bonkbell/Bonkbell.log"_s);
    EXPECT_EQ(Paths::preferences(), u"/x/config/Bonkbell/Bonkbell.conf"_s);
    EXPECT_EQ(Paths::launchAgent(), u"/x/config/autostart/com.bonkbell.mac.desktop"_s);
    const ScopedEnv unset{{"XDG_DATA_HOME", ""}, {"XDG_STATE_HOME", "relative/state"}, {"BONKBELL_INBOX", "~/drop"}};
    EXPECT_EQ(Paths::support(), QDir::homePath() + u"/.local/share/Bonkbell"_s);
    EXPECT_EQ(Paths::logDir(), QDir::homePath() + u"/.local/state/Bonkbell"_s);
    EXPECT_EQ(Paths::inbox(), u"~/drop"_s);
}

} // namespace
