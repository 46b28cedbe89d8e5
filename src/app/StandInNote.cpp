#include "app/StandInNote.h"

#include "support/Log.h"
#include "support/Scheduler.h"

using namespace Qt::StringLiterals;

StandInNote::StandInNote(Scheduler& scheduler, QObject* parent)
    : QObject(parent)
    , m_scheduler(scheduler)
{
}

void StandInNote::show(const MonkeyEvent& event, QPointF, double seconds, std::function<void()> onClose)
{
    log(u"note: %1 for %2 s"_s.arg(event.headline, QString::number(seconds)));
    m_scheduler.after(seconds, this, std::move(onClose));
}
