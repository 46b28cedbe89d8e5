#include "support/Scheduler.h"

Scheduler::~Scheduler() = default;
