#include "support/Settings.h"
#include "common/TestEnvironment.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

class SettingsTest : public testing::Test {
protected:
    QTemporaryDir dir;
    QString file = dir.filePath(u"Bonkbell.conf"_s);
    Settings settings{file};
    QByteArray stored() const { return TestEnvironment::readFile(file); }
};

TEST_F(SettingsTest, RegisteredDefaultsAreReadButNeverWrittenWritesReachTheFileAtOnceAndWhatAnotherProcessWroteIsRead)
{
    EXPECT_EQ(std::tuple(settings.showTests(), settings.alwaysVisible(), settings.soundChoice(), settings.scale(),
                  settings.noteSeconds()),
        std::tuple(true, true, SoundChoice::slap, 4.0, 8.0));
    EXPECT_FALSE(settings.get(Preferences::shownSetup));
    EXPECT_EQ(stored(), QByteArray());
    settings.setAlwaysVisible(false);
    settings.setScale(3.0);
    settings.set(Preferences::shownSetup, true);
    EXPECT_EQ(stored(), "[General]\nalwaysVisible=false\nscale=3\nshownSetup=true\n");
    // The sound choice falls back to the sound switch.
    settings.set(Preferences::sound, false);
    EXPECT_EQ(settings.soundChoice(), SoundChoice::off);
    settings.set(Preferences::soundChoice, u"Slap"_s); // not a raw value: case matters
    EXPECT_EQ(settings.soundChoice(), SoundChoice::off);
    settings.setSoundChoice(SoundChoice::pop);
    EXPECT_EQ(settings.soundChoice(), SoundChoice::pop);
    EXPECT_FALSE(settings.get(Preferences::sound)) << "storing a choice leaves the switch alone";
    settings.set(Preferences::sound, true);
    EXPECT_EQ(settings.soundChoice(), SoundChoice::pop);
    // Another program rewrites the file while this one has read it. Values pass through unranged;
    // junk falls back to the default.
    EXPECT_TRUE(settings.showTests());
    TestEnvironment::writeFile(file, "[General]\nshowTests=false\nnoteSeconds=-3\nscale=huge\nalwaysVisible=no\n");
    EXPECT_FALSE(settings.showTests());
    EXPECT_DOUBLE_EQ(settings.noteSeconds(), -3.0);
    EXPECT_DOUBLE_EQ(settings.scale(), 4.0);
    EXPECT_FALSE(settings.alwaysVisible());
}

} // namespace
