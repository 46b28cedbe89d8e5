#pragma once

#include "ui/settings/SettingsSection.h"

class StripeWatcher;

// Stripe: a restricted read-only key, and a marker while that key is a test-mode one.
class SettingsStripeSection final : public SettingsSection {
    Q_OBJECT
public:
    SettingsStripeSection(StripeWatcher& watcher, Scheduler& clock, QWidget* parent = nullptr);

protected:
    QCoro::Task<std::optional<QString>> connectWatcher(QString key) override;
    QString connectedText() const override;
    void refreshExtras() override;
    void changeEvent(QEvent* event) override;

private:
    StripeWatcher& m_stripe;
    QLabel* m_testMode;
};
