#pragma once

#include <QString>

// What a watcher is doing, as the menu and the settings window show it.
struct WatchState {
    enum class Kind { off, connecting, watching, problem };

    Kind kind = Kind::off;
    QString message; // user-facing; only for problem

    static WatchState off() { return {Kind::off, {}}; }
    static WatchState connecting() { return {Kind::connecting, {}}; }
    static WatchState watching() { return {Kind::watching, {}}; }
    static WatchState problem(QString message) { return {Kind::problem, std::move(message)}; }

    bool operator==(const WatchState& other) const
    {
        return kind == other.kind && (kind != Kind::problem || message == other.message);
    }
};

// How the state reads in a status line: "not connected", "checking…", "watching", "⚠ <message>".
QString statusText(const WatchState& state);
