#include "ui/settings/SettingsRevenueCatSection.h"

#include "watchers/RevenueCatWatcher.h"

#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace {

SettingsSection::Texts revenueCatTexts()
{
    return {
        u"RevenueCat"_s,
        u"In RevenueCat: **Project settings → API keys → + New secret API key**. Choose **V2** and give it "
        u"**Charts & metrics → overview: Read**. RevenueCat doesn't share single purchases with apps like this, "
        u"so Bonkbell watches today's revenue and slaps when it goes up."_s,
        u"Open RevenueCat ↗"_s,
        RevenueCatWatcher::dashboardURL(),
        u"sk_…"_s,
    };
}

} // namespace

SettingsRevenueCatSection::SettingsRevenueCatSection(RevenueCatWatcher& watcher, Scheduler& clock, QWidget* parent)
    : SettingsSection(watcher, clock, revenueCatTexts(), parent)
    , m_revenueCat(watcher)
    , m_projectField(new QLineEdit(this))
{
    m_projectField->setObjectName(u"projectField"_s);
    m_projectField->setPlaceholderText(u"Project ID (optional)"_s);
    m_projectField->setFixedWidth(170);
    addField(m_projectField);
    refresh();
}

QCoro::Task<std::optional<QString>> SettingsRevenueCatSection::connectWatcher(QString key)
{
    // The project field keeps its text either way.
    return m_revenueCat.connect(std::move(key), m_projectField->text());
}

QString SettingsRevenueCatSection::connectedText() const
{
    return u"Project "_s + m_revenueCat.project() + u". Slaps when today's revenue goes up."_s;
}
