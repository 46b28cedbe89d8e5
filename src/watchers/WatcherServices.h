#pragma once

#include <QString>
#include <QUrl>

class Scheduler;
class SecretStore;
class Settings;

// What a watcher needs from outside: where its preferences and key live, the clock, and the
// service's base URL (tests point it at a loopback server). With an inbox, each event is
// published there as a file before it counts as announced, and the app plays it from there; with a
// state folder, what was announced is remembered there. Without either they live in memory only.
// A labelled account (`label`) has its own keyring item and files; `settings` is its own view.
struct WatcherServices {
    Settings& settings;
    SecretStore& secrets;
    Scheduler& scheduler;
    QUrl base;
    QString inbox = {};
    QString stateDir = {};
    QString label = {};
};
