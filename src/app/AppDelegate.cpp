#include "app/AppDelegate.h"

#include "app/StandInNote.h"
#include "app/StandInStage.h"
#include "events/Inbox.h"
#include "events/PlaybackDriver.h"
#include "support/Log.h"
#include "support/Paths.h"

#include <QPointer>

using namespace Qt::StringLiterals;

AppDelegate::AppDelegate(Settings& settings, Scheduler& scheduler, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_scheduler(scheduler)
{
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching()
{
    m_stage = std::make_unique<StandInStage>(m_scheduler);
    m_notes = std::make_unique<StandInNote>(m_scheduler);
    m_driver = std::make_unique<PlaybackDriver>(m_settings, m_scheduler, *m_stage, *m_notes);

    QPointer<PlaybackDriver> driver(m_driver.get());
    m_inbox = std::make_unique<Inbox>(Paths::inbox(), [driver](const Inbox::Batch& batch) {
        if (driver)
            driver->receive(batch);
    }, m_scheduler);
    m_inbox->start();

    log(u"started v%1; Stripe off, RevenueCat off; inbox %2"_s.arg(QString::fromLatin1(version), m_inbox->dir()));
}
