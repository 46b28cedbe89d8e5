#include "ui/settings/SettingsStripeSection.h"

#include "ui/settings/SettingsStyle.h"
#include "watchers/StripeWatcher.h"

#include <QEvent>
#include <QLabel>

using namespace Qt::StringLiterals;
using SettingsStyle::TextSize;

namespace {

SettingsSection::Texts stripeTexts()
{
    return {
        u"Stripe"_s,
        u"Create a **restricted key** with **Charges: Read** and **Invoices: Read** (leave everything else as "
        u"None), then paste it here."_s,
        u"Open Stripe to create the key ↗"_s,
        StripeWatcher::createKeyURL(),
        u"rk_live_…"_s,
    };
}

} // namespace

SettingsStripeSection::SettingsStripeSection(StripeWatcher& watcher, Scheduler& clock, QWidget* parent)
    : SettingsSection(watcher, clock, stripeTexts(), parent)
    , m_stripe(watcher)
    , m_testMode(SettingsStyle::label(u"TEST MODE"_s, TextSize::caption, false, this))
{
    m_testMode->setObjectName(u"testMode"_s);
    m_testMode->setFont(SettingsStyle::font(TextSize::caption, true));
    SettingsStyle::setTextColor(m_testMode, SettingsStyle::orange(palette()));
    addTitleMarker(m_testMode);
    refresh();
}

QCoro::Task<std::optional<QString>> SettingsStripeSection::connectWatcher(QString key)
{
    return m_stripe.connect(std::move(key));
}

QString SettingsStripeSection::connectedText() const
{
    return u"Every successful payment gets a slap: new subscribers, renewals and one-off sales."_s;
}

void SettingsStripeSection::refreshExtras()
{
    m_testMode->setVisible(m_stripe.isConnected() && m_stripe.isTestMode());
}

void SettingsStripeSection::changeEvent(QEvent* event)
{
    SettingsSection::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        SettingsStyle::setTextColor(m_testMode, SettingsStyle::orange(palette()));
}
