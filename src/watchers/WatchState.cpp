#include "watchers/WatchState.h"

using namespace Qt::StringLiterals;

QString statusText(const WatchState& state)
{
    switch (state.kind) {
    case WatchState::Kind::off:
        return u"not connected"_s;
    case WatchState::Kind::connecting:
        return u"checking…"_s;
    case WatchState::Kind::watching:
        return u"watching"_s;
    case WatchState::Kind::problem:
        return u"⚠ "_s + state.message;
    }
    return {};
}
