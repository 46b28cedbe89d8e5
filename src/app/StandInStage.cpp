#include "app/StandInStage.h"

#include "support/Log.h"
#include "support/Scheduler.h"

using namespace Qt::StringLiterals;

StandInStage::StandInStage(Scheduler& scheduler, QObject* parent)
    : QObject(parent)
    , m_scheduler(scheduler)
{
}

void StandInStage::slap(bool money, std::function<void(QPointF)> onImpact, std::function<void()> onDone)
{
    log(money ? u"stage: money slap"_s : u"stage: slap"_s);
    m_scheduler.after(impactAt, this, [onImpact = std::move(onImpact)] { onImpact(QPointF()); });
    m_scheduler.after(doneAt, this, std::move(onDone));
}

void StandInStage::applyVisibility()
{
}
