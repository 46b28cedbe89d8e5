#pragma once

#include <QGroupBox>

#include <qcoro/qcorotask.h>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class WatcherAccounts;

// The labelled accounts beside the first Stripe account and RevenueCat project: a line each with
// its state and a Remove button, then a row to add one (service, label, key, project).
class SettingsAccountsSection : public QGroupBox {
    Q_OBJECT
public:
    explicit SettingsAccountsSection(WatcherAccounts& accounts, QWidget* parent = nullptr);

private:
    QWidget* buildAddForm();
    // Rebuilds the list from the accounts as they stand.
    void refresh();
    QCoro::Task<> add();
    void showMessage(const QString& message);

    WatcherAccounts& m_accounts;
    QVBoxLayout* m_list = nullptr;
    QComboBox* m_service = nullptr;
    QLineEdit* m_label = nullptr;
    QLineEdit* m_key = nullptr;
    QLineEdit* m_project = nullptr;
    QPushButton* m_addButton = nullptr;
    QLabel* m_message = nullptr;
    bool m_busy = false;
};
