#pragma once

#include "ui/settings/SettingsSection.h"

class RevenueCatWatcher;

// RevenueCat: a V2 secret key and, when the key sees several projects, the project's id.
class SettingsRevenueCatSection final : public SettingsSection {
    Q_OBJECT
public:
    SettingsRevenueCatSection(RevenueCatWatcher& watcher, Scheduler& clock, QWidget* parent = nullptr);

protected:
    QCoro::Task<std::optional<QString>> connectWatcher(QString key) override;
    QString connectedText() const override;

private:
    RevenueCatWatcher& m_revenueCat;
    QLineEdit* m_projectField;
};
