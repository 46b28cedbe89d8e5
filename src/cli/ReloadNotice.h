#pragma once

#include <QObject>

#include <functional>

// "Keys changed, reload them": a signal on the session bus from the command line to a running app.
namespace ReloadNotice {
inline constexpr const char* interface = "com.bonkbell.mac";
inline constexpr const char* member = "reload";

// Sends the notice without waiting for an answer; one round trip to the bus makes sure it left.
// Without a session bus there is no running app to tell, so nothing happens.
void post();

// Calls `onReload` on the main thread for every notice while `context` lives. False without a bus.
bool subscribe(QObject* context, std::function<void()> onReload);
} // namespace ReloadNotice
