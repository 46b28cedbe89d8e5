#pragma once

#include "common/Windows.h"
#include "overlay/Screens.h"

// A 1920×1080 screen (y up) whose top 32 points are a panel bar.
inline const QList<Screens::Area> oneScreen{{QRectF(0, 0, 1920, 1080), QRectF(0, 0, 1920, 1048), 1}};

// One screen. Say `changed()` after changing the screens.
struct FakeScreens : Screens {
    QList<Area> all = oneScreen;
    QList<Area> areas() const override { return all; }
};
