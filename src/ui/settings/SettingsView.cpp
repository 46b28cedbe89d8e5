#include "ui/settings/SettingsView.h"

#include "sprites/Sprites.h"
#include "ui/settings/SettingsAccountsSection.h"
#include "ui/settings/SettingsMonkey.h"
#include "ui/settings/SettingsRevenueCatSection.h"
#include "ui/settings/SettingsStripeSection.h"
#include "ui/settings/SettingsStyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>

using namespace Qt::StringLiterals;
using SettingsStyle::TextSize;

namespace {

// "checked 12 sec ago" counts in whole seconds.
constexpr int tickMs = 1000;

} // namespace

SettingsView::SettingsView(StripeWatcher& stripe, RevenueCatWatcher& revenueCat, Scheduler& clock, QWidget* parent)
    : QWidget(parent)
    , m_stripe(new SettingsStripeSection(stripe, clock, this))
    , m_revenueCat(new SettingsRevenueCatSection(revenueCat, clock, this))
{
    m_stripe->setObjectName(u"stripeSection"_s);
    m_revenueCat->setObjectName(u"revenueCatSection"_s);
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(22, 22, 22, 22);
    rows->setSpacing(16);
    rows->addWidget(buildHeader());
    rows->addWidget(m_stripe);
    rows->addWidget(m_revenueCat);

    addFooter(rows);

    m_ticker.setInterval(tickMs);
    connect(&m_ticker, &QTimer::timeout, this, &SettingsView::tick);
    applyColors();
    fitHeight();
    focusFirstKeyField();
}

QWidget* SettingsView::buildHeader()
{
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    row->addWidget(new SettingsMonkey(Sprites::idle(), 2.5, header), 0, Qt::AlignTop);

    auto* column = new QVBoxLayout;
    column->setSpacing(6);
    column->addWidget(SettingsStyle::label(u"Connect your sales"_s, TextSize::title, false, header));
    m_intro = SettingsStyle::label(u"Bonkbell checks for new payments and slaps a note on your screen. Your keys "
                                   u"stay in your keyring and are only ever sent to Stripe and RevenueCat."_s,
        TextSize::callout, true, header);
    column->addWidget(m_intro);
    column->addStretch(1);
    row->addLayout(column, 1);
    return header;
}

void SettingsView::addFooter(QVBoxLayout* rows)
{
    m_advice
        = SettingsStyle::label(u"Connect one or both. If RevenueCat also tracks your Stripe sales, connect just one, "
                               u"or each sale gets two slaps."_s,
            TextSize::caption, true, this);
    rows->addWidget(m_advice);

    auto* testButton = new QPushButton(u"Send a test slap"_s, this);
    testButton->setObjectName(u"testButton"_s);
    testButton->setAutoDefault(false);
    rows->addWidget(testButton, 0, Qt::AlignLeft);
    connect(testButton, &QPushButton::clicked, this, [this] { Q_EMIT testEventRequested(u"sale"_s); });
}

void SettingsView::addAccountsSection(WatcherAccounts& accounts)
{
    auto* section = new SettingsAccountsSection(accounts, this);
    section->setObjectName(u"accountsSection"_s);
    // Below the two services' own sections, above the advice and the test button.
    static_cast<QVBoxLayout*>(layout())->insertWidget(3, section);
}

void SettingsView::focusFirstKeyField()
{
    // Typing can start at once in the first service that still needs a key.
    for (SettingsSection* section : std::array<SettingsSection*, 2>{m_stripe, m_revenueCat}) {
        if (!section->showsConnectedForm()) {
            section->keyField()->setFocus();
            return;
        }
    }
}

bool SettingsView::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    // The sections grow and shrink as forms, messages and wrapped problems come and go.
    if (event->type() == QEvent::LayoutRequest)
        fitHeight();
    return handled;
}

void SettingsView::fitHeight()
{
    const int height = hasHeightForWidth() ? heightForWidth(fixedWidth) : sizeHint().height();
    if (size() != QSize(fixedWidth, height))
        setFixedSize(fixedWidth, height);
}

void SettingsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    tick();
    updateTicking();
}

void SettingsView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    updateTicking();
}

void SettingsView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        updateTicking();
    else if (event->type() == QEvent::PaletteChange)
        applyColors();
}

void SettingsView::applyColors()
{
    SettingsStyle::setTextColor(m_intro, SettingsStyle::secondary(palette()));
    SettingsStyle::setTextColor(m_advice, SettingsStyle::secondary(palette()));
}

void SettingsView::updateTicking()
{
    // Nothing to keep current while nobody can see it: no timer, no wake-ups.
    if (isVisible() && !isMinimized())
        m_ticker.start();
    else
        m_ticker.stop();
}

void SettingsView::tick()
{
    m_stripe->refreshTime();
    m_revenueCat->refreshTime();
}
