#pragma once

#include <QUrl>

class Scheduler;
class SecretStore;
class Settings;

// What a watcher needs from outside: where its preferences and key live, the clock, and the
// service's base URL (tests point it at a loopback server).
struct WatcherServices {
    Settings& settings;
    SecretStore& secrets;
    Scheduler& scheduler;
    QUrl base;
};
