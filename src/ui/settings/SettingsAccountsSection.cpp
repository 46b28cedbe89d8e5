#include "ui/settings/SettingsAccountsSection.h"

#include "support/AccountLabel.h"
#include "ui/settings/SettingsStyle.h"
#include "watchers/RevenueCatWatcher.h"
#include "watchers/StripeWatcher.h"
#include "watchers/WatcherAccounts.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using SettingsStyle::TextSize;
using Service = WatcherAccounts::Service;

SettingsAccountsSection::SettingsAccountsSection(WatcherAccounts& accounts, QWidget* parent)
    : QGroupBox(parent)
    , m_accounts(accounts)
{
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(14, 12, 14, 14);
    rows->setSpacing(8);
    rows->addWidget(SettingsStyle::label(u"More accounts"_s, TextSize::headline, false, this));
    auto* intro
        = SettingsStyle::label(u"Watch another Stripe account or RevenueCat project under a short label of your own."_s,
            TextSize::callout, true, this);
    SettingsStyle::setTextColor(intro, SettingsStyle::secondary(palette()));
    rows->addWidget(intro);
    m_list = new QVBoxLayout;
    m_list->setSpacing(4);
    rows->addLayout(m_list);
    rows->addWidget(buildAddForm());
    m_message = SettingsStyle::label(QString(), TextSize::caption, true, this);
    m_message->setObjectName(u"accountMessage"_s);
    SettingsStyle::setTextColor(m_message, SettingsStyle::red(palette()));
    m_message->hide();
    rows->addWidget(m_message);
    connect(&m_accounts, &WatcherAccounts::changed, this, &SettingsAccountsSection::refresh);
    refresh();
}

QWidget* SettingsAccountsSection::buildAddForm()
{
    auto* form = new QWidget(this);
    auto* row = new QHBoxLayout(form);
    row->setContentsMargins(0, 4, 0, 0);
    row->setSpacing(6);
    m_service = new QComboBox(form);
    m_service->setObjectName(u"accountService"_s);
    m_service->addItems({u"Stripe"_s, u"RevenueCat"_s});
    m_label = new QLineEdit(form);
    m_label->setObjectName(u"accountLabel"_s);
    m_label->setPlaceholderText(u"Label"_s);
    m_label->setMaxLength(AccountLabel::maxLength);
    m_key = new QLineEdit(form);
    m_key->setObjectName(u"accountKey"_s);
    m_key->setPlaceholderText(u"rk_live_… or sk_…"_s);
    m_key->setEchoMode(QLineEdit::Password);
    m_project = new QLineEdit(form);
    m_project->setObjectName(u"accountProject"_s);
    m_project->setPlaceholderText(u"Project ID (optional)"_s);
    m_project->hide();
    m_addButton = new QPushButton(u"Add"_s, form);
    m_addButton->setObjectName(u"addAccountButton"_s);
    m_addButton->setAutoDefault(false);
    row->addWidget(m_service);
    row->addWidget(m_label, 2);
    row->addWidget(m_key, 3);
    row->addWidget(m_project, 2);
    row->addWidget(m_addButton);
    connect(m_service, &QComboBox::currentIndexChanged, this, [this](int index) { m_project->setVisible(index == 1); });
    connect(m_addButton, &QPushButton::clicked, this, [this] { add(); });
    return form;
}

void SettingsAccountsSection::refresh()
{
    while (QLayoutItem* item = m_list->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (Watcher* watcher : m_accounts.all()) {
        if (watcher->label().isEmpty())
            continue;
        auto* line = new QWidget(this);
        auto* row = new QHBoxLayout(line);
        row->setContentsMargins(0, 0, 0, 0);
        auto* text = SettingsStyle::label(QString(), TextSize::body, false, line);
        const auto show = [text, watcher] {
            const QString state = statusText(watcher->state());
            text->setText(watcher->name() + u" — "_s + state);
        };
        show();
        connect(watcher, &Watcher::stateChanged, text, show);
        auto* remove = new QPushButton(u"Remove"_s, line);
        remove->setObjectName(u"remove:"_s + watcher->name());
        remove->setAutoDefault(false);
        const Service service = qobject_cast<StripeWatcher*>(watcher) ? Service::stripe : Service::revenueCat;
        const QString label = watcher->label();
        // Queued: the button goes with the line the removal rebuilds.
        connect(
            remove, &QPushButton::clicked, this, [this, service, label] { m_accounts.disconnect(service, label); },
            Qt::QueuedConnection);
        row->addWidget(text, 1);
        row->addWidget(remove);
        m_list->addWidget(line);
    }
}

QCoro::Task<> SettingsAccountsSection::add()
{
    if (m_busy)
        co_return;
    const QPointer<SettingsAccountsSection> self(this);
    const Service service = m_service->currentIndex() == 0 ? Service::stripe : Service::revenueCat;
    auto opened = m_accounts.open(service, m_label->text().trimmed());
    if (const auto* refusal = std::get_if<QString>(&opened)) {
        showMessage(*refusal);
        co_return;
    }
    const QPointer<Watcher> watcher = std::get<Watcher*>(opened);
    const QString label = watcher->label();
    m_busy = true;
    m_addButton->setEnabled(false);
    const QString key = m_key->text();
    const auto refusal = service == Service::stripe
        ? co_await static_cast<StripeWatcher*>(watcher.data())->connect(key)
        : co_await static_cast<RevenueCatWatcher*>(watcher.data())->connect(key, m_project->text().trimmed());
    if (!self)
        co_return;
    m_busy = false;
    m_addButton->setEnabled(true);
    // A reload from the command line meanwhile drops an account not listed yet, before it stored anything.
    if (!watcher) {
        showMessage(u"The accounts changed meanwhile. Please add it again."_s);
        co_return;
    }
    if (refusal) {
        // Not kept: the watcher goes again, with whatever of it was written.
        m_accounts.disconnect(service, label);
        showMessage(*refusal);
        co_return;
    }
    m_accounts.keep(*watcher);
    for (QLineEdit* field : {m_label, m_key, m_project})
        field->clear();
    showMessage(QString());
    refresh();
}

void SettingsAccountsSection::showMessage(const QString& message)
{
    m_message->setText(message);
    m_message->setVisible(!message.isEmpty());
}
