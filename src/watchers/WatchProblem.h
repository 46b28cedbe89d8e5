#pragma once

#include <QDateTime>
#include <QString>

// The last poll that failed, in the service's or the network's own words; kept until a good poll.
struct WatchProblem {
    // The service's HTTP status (401 refused, 429 slow down, ...); 0 when it had none to give.
    int status = 0;
    // Whether the service answered at all: an outage is not an answer that could not be read.
    bool answered = false;
    // When it happened; for an outage or a throttling that goes on, when it began.
    QDateTime at;
    QString message;
};
