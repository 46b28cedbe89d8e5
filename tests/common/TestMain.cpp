#include "common/TestEnvironment.h"

#ifdef BONKBELL_TEST_GUI
#include <QApplication>
#endif
#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

QString TestEnvironment::root()
{
    static const QTemporaryDir sandbox;
    return sandbox.path();
}

int main(int argc, char** argv)
{
    const QByteArray root = TestEnvironment::root().toUtf8();
    for (const auto& [variable, under] : {std::pair{"HOME", "/home"}, {"XDG_DATA_HOME", "/data"},
             {"XDG_STATE_HOME", "/state"}, {"XDG_CONFIG_HOME", "/config"}})
        qputenv(variable, root + under);
    qunsetenv("BONKBELL_INBOX");
#ifdef BONKBELL_TEST_GUI
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
