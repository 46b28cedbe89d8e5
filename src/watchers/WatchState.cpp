#include "watchers/WatchState.h"

using namespace Qt::StringLiterals;

QString describe(const WatchState& state)
{
    switch (state.kind) {
    case WatchState::Kind::off:
        return u"off"_s;
    case WatchState::Kind::connecting:
        return u"connecting"_s;
    case WatchState::Kind::watching:
        return u"watching"_s;
    case WatchState::Kind::problem:
        return u"problem: "_s + state.message;
    }
    return {};
}
