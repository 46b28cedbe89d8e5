#include "common/TestEnvironment.h"
#include "support/Settings.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class SettingsTest : public testing::Test {
protected:
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("Bonkbell.conf"));
    Settings settings{file};

    QByteArray stored() const { return TestEnvironment::readFile(file); }
};

TEST_F(SettingsTest, RegisteredDefaultsAreReadButNeverWritten)
{
    EXPECT_TRUE(settings.showTests());
    EXPECT_TRUE(settings.alwaysVisible());
    EXPECT_EQ(settings.soundChoice(), SoundChoice::slap);
    EXPECT_DOUBLE_EQ(settings.scale(), 4.0);
    EXPECT_DOUBLE_EQ(settings.noteSeconds(), 8.0);
    EXPECT_FALSE(settings.get(Preferences::shownSetup));
    EXPECT_FALSE(stored().contains("scale"));
    EXPECT_FALSE(stored().contains("showTests"));
}

TEST_F(SettingsTest, SoundChoiceFallsBackToTheSoundSwitch)
{
    settings.set(Preferences::sound, false);
    EXPECT_EQ(settings.soundChoice(), SoundChoice::off);

    settings.set(Preferences::soundChoice, QStringLiteral("Slap"));   // not a raw value: case matters
    EXPECT_EQ(settings.soundChoice(), SoundChoice::off);

    settings.setSoundChoice(SoundChoice::pop);
    EXPECT_EQ(settings.soundChoice(), SoundChoice::pop);
    EXPECT_FALSE(settings.get(Preferences::sound)) << "storing a choice leaves the switch alone";

    settings.set(Preferences::sound, true);
    EXPECT_EQ(settings.soundChoice(), SoundChoice::pop);
}

TEST_F(SettingsTest, ReadsWhatAnotherProcessWroteWithoutCaching)
{
    EXPECT_TRUE(settings.showTests());
    Settings other(file);
    other.setShowTests(false);
    other.setScale(2.5);
    EXPECT_FALSE(settings.showTests());
    EXPECT_DOUBLE_EQ(settings.scale(), 2.5);

    // A hand-edited file: values pass through unranged; junk falls back to the default.
    TestEnvironment::writeFile(file, "[General]\nnoteSeconds=-3\nscale=huge\nalwaysVisible=false\n");
    Settings reopened(file);
    EXPECT_DOUBLE_EQ(reopened.noteSeconds(), -3.0);
    EXPECT_DOUBLE_EQ(reopened.scale(), 4.0);
    EXPECT_FALSE(reopened.alwaysVisible());
}

TEST_F(SettingsTest, WritesReachTheFileAtOnce)
{
    settings.setAlwaysVisible(false);
    settings.setScale(3.0);
    settings.set(Preferences::shownSetup, true);
    const QByteArray text = stored();
    EXPECT_TRUE(text.contains("alwaysVisible=false")) << text.constData();
    EXPECT_TRUE(text.contains("scale=3")) << text.constData();
    EXPECT_TRUE(text.contains("shownSetup=true")) << text.constData();
}

} // namespace
