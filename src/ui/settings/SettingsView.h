#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;
class QVBoxLayout;
class RevenueCatWatcher;
class Scheduler;
class SettingsRevenueCatSection;
class SettingsStripeSection;
class StripeWatcher;
class WatcherAccounts;

// The settings window's content: what Bonkbell does, one section per sales service, a word on
// connecting both, and a button that sends a sample slap. A fixed width; the height follows
// whatever the sections show.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    static constexpr int fixedWidth = 560;

    SettingsView(StripeWatcher& stripe, RevenueCatWatcher& revenueCat, Scheduler& clock, QWidget* parent = nullptr);

    // Lists the labelled accounts, with a way to add or remove one, above the footer.
    void addAccountsSection(WatcherAccounts& accounts);

Q_SIGNALS:
    // "Send a test slap": a sample sale should go out.
    void testEventRequested(const QString& kind);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* buildHeader();
    void addFooter(QVBoxLayout* rows);
    void focusFirstKeyField();
    void fitHeight();
    void updateTicking();
    void tick();
    void applyColors();

    SettingsStripeSection* m_stripe;
    SettingsRevenueCatSection* m_revenueCat;
    QLabel* m_intro = nullptr;
    QLabel* m_advice = nullptr;
    QTimer m_ticker;
};
