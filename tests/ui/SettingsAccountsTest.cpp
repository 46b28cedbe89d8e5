#include "common/StripeStandIn.h"
#include "support/Autostart.h"
#include "ui/StatusMenu.h"
#include "ui/settings/SettingsWindowController.h"
#include "watchers/RevenueCatWatcher.h"
#include "watchers/StripeWatcher.h"
#include "watchers/WatcherAccounts.h"
#include "watchers/WatcherFixture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::waitUntil;

// The settings window's list of labelled accounts, and the tray menu's line for each.
class SettingsAccountsTest : public WatcherFixture {
protected:
    StripeStandIn stripe{server};
    WatcherAccounts accounts{services(), services(), false};
    Autostart autostart{dir.filePath(u"autostart.desktop"_s)};
    QWidget* window = nullptr;
    template <typename T> T* find(const QString& name) const { return window->findChild<T*>(name); }
    void add(const QString& label, const QString& key)
    {
        find<QLineEdit>(u"accountLabel"_s)->setText(label);
        find<QLineEdit>(u"accountKey"_s)->setText(key);
        find<QPushButton>(u"addAccountButton"_s)->click();
    }
    QString message() const
    {
        const QLabel* label = find<QLabel>(u"accountMessage"_s);
        return label->isVisibleTo(window) ? label->text() : QString();
    }
    QStringList menuTitles(StatusMenu& menu) const
    {
        QMenu* shown = menu.findChild<QSystemTrayIcon*>()->contextMenu();
        Q_EMIT shown->aboutToShow();
        QStringList titles;
        for (const QAction* action : shown->actions().mid(1, 3))
            titles.append(action->text());
        return titles;
    }
};

TEST_F(SettingsAccountsTest, TheWindowAddsARefusesBadOnesAndRemovesAndTheMenuShowsEach)
{
    SettingsWindowController controller(accounts.stripe(), accounts.revenueCat(), nullptr, scheduler);
    controller.listAccounts(accounts);
    controller.show();
    for (QWidget* widget : QApplication::topLevelWidgets())
        window = widget->objectName() == u"settingsWindow"_s ? widget : window;
    ASSERT_TRUE(window);
    StatusMenu menu({settings, accounts.stripe(), accounts.revenueCat(), autostart, &accounts});

    add(u"a:b"_s, u"rk_test_acme"_s);
    EXPECT_EQ(message(), u"An account label can't hold ':', '/', '\\' or control characters."_s);
    add(u"Acme"_s, u"pk_test_acme"_s);
    EXPECT_TRUE(waitUntil([&] { return !message().startsWith(u"An account"_s); }));
    EXPECT_EQ(message(), u"Stripe restricted keys start with rk_live_ or rk_test_."_s);
    EXPECT_EQ(accounts.stripes().size(), 1) << "a refused account is not kept";

    add(u"Acme"_s, u"rk_test_acme"_s);
    ASSERT_TRUE(waitUntil([&] { return accounts.stripes().size() == 2 && accounts.stripes()[1]->isConnected(); }));
    EXPECT_TRUE(waitUntil([&] { return find<QLineEdit>(u"accountKey"_s)->text().isEmpty(); }));
    EXPECT_EQ(message(), QString());
    EXPECT_EQ(settings.get(Preferences::stripeAccounts), QStringList{u"Acme"_s});
    const QString acmeState = statusText(accounts.stripes()[1]->state());
    EXPECT_EQ(menuTitles(menu),
        QStringList({u"Stripe: not connected"_s, u"RevenueCat: not connected"_s,
            u"Stripe (Acme): "_s + acmeState + u" (test mode)"_s}));

    find<QPushButton>(u"remove:Stripe (Acme)"_s)->click();
    ASSERT_TRUE(waitUntil([&] { return accounts.stripes().size() == 1; }));
    EXPECT_EQ(secrets.read(u"stripe:Acme"_s), std::nullopt);
    EXPECT_TRUE(waitUntil([&] { return !find<QPushButton>(u"remove:Stripe (Acme)"_s); }));
    EXPECT_EQ(menuTitles(menu).last(), QString()) << "the line went with the account";
}

} // namespace
