#pragma once

#include "watchers/WatchState.h"

#include <QDateTime>
#include <QWidget>

#include <optional>

class QLabel;
class SettingsSymbol;

// One watcher's state as an icon and a few words: not connected, checking, watching (with how
// long ago the last check was), or the problem in the watcher's own words.
class SettingsStatusLine : public QWidget {
    Q_OBJECT
public:
    explicit SettingsStatusLine(QWidget* parent = nullptr);

    void display(const WatchState& state, const std::optional<QDateTime>& lastChecked, const QDateTime& now);

    // The time since a moment in short units, the two largest that are not zero:
    // "0 sec", "45 sec", "2 min, 5 sec", "1 hr", "3 days, 4 hr".
    static QString elapsedText(qint64 seconds);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColors();

    SettingsSymbol* m_symbol;
    QLabel* m_text;
    QLabel* m_detail;
    WatchState m_state;
};
