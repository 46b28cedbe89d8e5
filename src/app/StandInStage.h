#pragma once

#include "events/Stage.h"

#include <QObject>

class Scheduler;

// Plays the monkey's timeline without drawing anything, until the overlay exists.
class StandInStage final : public QObject, public Stage {
    Q_OBJECT
public:
    static constexpr double impactAt = 0.47;
    static constexpr double doneAt = 2.0;

    explicit StandInStage(Scheduler& scheduler, QObject* parent = nullptr);

    void slap(bool money, std::function<void(QPointF)> onImpact, std::function<void()> onDone) override;
    void applyVisibility() override;

private:
    Scheduler& m_scheduler;
};
