#pragma once

#include <QIcon>
#include <QImage>

#include <array>

// The tray icon: the monkey's head, rendered for each size a tray host may ask for, so the host
// picks a sharp one instead of smoothing a single picture.
namespace TrayIcon {

inline constexpr std::array sizes{16, 22, 24, 32, 48, 64};

// A size×size picture with the head centred on transparent padding, pixel edges kept hard.
QImage render(int size);
QIcon icon();

} // namespace TrayIcon
