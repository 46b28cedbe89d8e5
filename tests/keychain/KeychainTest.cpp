#include "keychain/Keychain.h"
#include "common/TestEnvironment.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

namespace {

using namespace Qt::StringLiterals;

const QString service = u"com.bonkbell.mac"_s;

// The stock secret-tool on the same store: its standard output and error. Secrets go in on stdin.
std::pair<QByteArray, QByteArray> secretTool(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess tool;
    tool.start(u"secret-tool"_s, arguments);
    tool.write(input);
    tool.closeWriteChannel();
    tool.waitForFinished(10000);
    return {tool.readAllStandardOutput(), tool.readAllStandardError()};
}

// These tests overwrite items, so they run only against the throwaway keyring that
// tools/test-session.sh starts, never the user's own. Nothing they do is logged.
class KeychainStore : public testing::Test {
protected:
    Keychain keychain;
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("BONKBELL_TEST_KEYRING"))
            GTEST_SKIP() << "no private secret service: run through tools/test-session.sh";
        TestEnvironment::takeLogMessages();
    }
    void TearDown() override { EXPECT_EQ(TestEnvironment::takeLogMessages(), QStringList()); }
};

// Text is kept as UTF-8; what is not text reads as nothing.
TEST_F(KeychainStore, KeepsTextAsUtf8RemovesQuietlyAndSavingAgainReplacesTheOneItemInPlace)
{
    const QString key = u"rk_live_Grüße€ 🔑"_s;
    EXPECT_EQ(keychain.save(key, u"roundtrip"_s), std::nullopt);
    EXPECT_EQ(keychain.read(u"roundtrip"_s), key);
    EXPECT_EQ(secretTool({"lookup", "service", service, "account", "roundtrip"}).first, key.toUtf8());
    keychain.remove(u"roundtrip"_s);
    keychain.remove(u"roundtrip"_s);
    EXPECT_EQ(keychain.read(u"roundtrip"_s), std::nullopt);
    // Bytes that are not UTF-8, stored by another program under this application's schema.
    const QByteArray notText = "\377\376abc";
    secretTool({"store", "--label=bytes", "xdg:schema", service, "service", service, "account", "bytes"}, notText);
    ASSERT_EQ(secretTool({"lookup", "service", service, "account", "bytes"}).first, notText);
    EXPECT_EQ(keychain.read(u"bytes"_s), std::nullopt);
    // Saving again replaces the one item in place (an account the app's tests never read). secret-tool
    // prints each item on stdout, headed by its path, the attributes on stderr; "schema" is libsecret's.
    const auto lines = [](const QByteArray& text) { return QString::fromUtf8(text).split(u'\n', Qt::SkipEmptyParts); };
    const auto search = [] { return secretTool({"search", "--all", "service", service, "account", "replaced"}); };
    ASSERT_EQ(keychain.save(u"first"_s, u"replaced"_s), std::nullopt);
    const QString path = lines(search().first).value(0);
    ASSERT_EQ(keychain.save(u"second"_s, u"replaced"_s), std::nullopt);
    EXPECT_EQ(keychain.read(u"replaced"_s), u"second"_s);
    const auto [out, err] = search();
    // One item at the first one's path: deleting and adding again would have made a new one.
    EXPECT_EQ(lines(out).filter(QRegularExpression(u"^(?!created|modified)"_s)),
        (QStringList{path, "label = Bonkbell (replaced)", "secret = second", "schema = com.bonkbell.mac"}));
    QStringList attributes = lines(err);
    attributes.sort();
    EXPECT_EQ(attributes, (QStringList{"attribute.account = replaced", "attribute.service = com.bonkbell.mac"}));
}

// Runs in a child process (the death test re-executes this binary), whose GLib has not
// connected to a bus yet: saves and reads after `prepare` changed the environment.
[[noreturn]] void saveAndReadAfter(void (*prepare)())
{
    alarm(20); // a hang kills the child and fails the test instead of stalling it
    prepare();
    QElapsedTimer clock;
    clock.start();
    Keychain keychain;
    const auto reason = keychain.save(u"sk_test_never_stored"_s, u"stripe"_s);
    const auto text = keychain.read(u"stripe"_s);
    std::fprintf(stderr, "reason: %s\nread: %s\nslow: %s\n", reason ? qPrintable(*reason) : "none",
        text ? "text" : "none", clock.elapsed() > 2000 ? "yes" : "no");
    std::_Exit(0);
}

TEST(KeychainUnreachable, SaveGivesTheReasonAndReadGivesNone)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* outcome = "ERROR keychain save 'stripe' failed \\(OSStatus 1\\).*"
                          "WARN keychain read 'stripe' failed \\(OSStatus 1\\).*"
                          "reason: no secret service is running on this desktop \\(no D-Bus session bus\\)\n"
                          "read: none\nslow: no\n";
    // A bus address leading nowhere; and no bus at all, where GLib with a display would start a
    // bus of its own through dbus-launch, taking seconds per call and leaving that bus behind.
    EXPECT_EXIT(saveAndReadAfter([] { qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"); }),
        testing::ExitedWithCode(0), outcome);
    EXPECT_EXIT(saveAndReadAfter([] {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("XDG_RUNTIME_DIR", TestEnvironment::root().toUtf8());
    }),
        testing::ExitedWithCode(0), outcome);
}

} // namespace
