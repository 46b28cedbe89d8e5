#include "app/PlatformChoice.h"

using namespace Qt::StringLiterals;

PlatformChoice PlatformChoice::forEnvironment(const QProcessEnvironment& environment)
{
    // Qt itself treats an empty QT_QPA_PLATFORM as unset; an empty DISPLAY reaches no X server.
    if (!environment.value(u"QT_QPA_PLATFORM"_s).isEmpty())
        return {};
    if (!environment.value(u"DISPLAY"_s).isEmpty())
        return {"xcb", {}};
    return {{}, u"WARN no X display; the monkey cannot be placed on this desktop"_s};
}
