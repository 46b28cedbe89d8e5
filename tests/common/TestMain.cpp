#include "common/TestEnvironment.h"

#ifdef BONKBELL_TEST_GUI
#include <QApplication>
#endif
#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
QTemporaryDir* sandbox = nullptr;

void isolate()
{
    sandbox = new QTemporaryDir;
    const QByteArray root = sandbox->path().toUtf8();
    qputenv("HOME", root + "/home");
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_STATE_HOME", root + "/state");
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qunsetenv("BONKBELL_INBOX");
}
} // namespace

QString TestEnvironment::root()
{
    return sandbox->path();
}

int main(int argc, char** argv)
{
    isolate();
#ifdef BONKBELL_TEST_GUI
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    delete sandbox;
    return result;
}
