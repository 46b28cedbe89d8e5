#pragma once

#include <QGroupBox>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <optional>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class Scheduler;
class SettingsStatusLine;
class Watcher;

// One sales service in the settings window: its name and live state, then either what is being
// watched with a way to disconnect, or how to get a key, a field for it and a Connect button.
// Everything shown about the service is read from the watcher whenever it signals a change;
// the section itself keeps only what the user is typing, the last answer and whether a check runs.
class SettingsSection : public QGroupBox {
    Q_OBJECT
public:
    struct Texts {
        QString title;
        QString instruction; // **spans** are shown bold
        QString linkText;
        QUrl link;
        QString keyPlaceholder;
    };

    // Brings "checked … ago" up to the clock.
    void refreshTime();
    bool showsConnectedForm() const;
    QLineEdit* keyField() const { return m_keyField; }

protected:
    SettingsSection(Watcher& watcher, Scheduler& clock, const Texts& texts, QWidget* parent);

    // Shows the section's own look; call once the subclass is complete.
    void refresh();

    virtual QCoro::Task<std::optional<QString>> connectWatcher(QString key) = 0;
    // The sentence shown while connected.
    virtual QString connectedText() const = 0;
    // For what a service adds to the common look; runs on every refresh.
    virtual void refreshExtras() {}

    // Places a widget right after the title, before the free space.
    void addTitleMarker(QWidget* marker);
    // Places an extra field between the key field and the Connect button.
    void addField(QLineEdit* field);

    void changeEvent(QEvent* event) override;

private:
    // Checks and stores the typed key through the watcher, unless a check runs or nothing is typed.
    void startConnect();
    QWidget* buildConnectedForm();
    QWidget* buildEntryForm(const Texts& texts);
    void finishConnect(const std::optional<QString>& answer);
    void refreshButton();
    void applyColors();

    Watcher& m_watcher;
    Scheduler& m_clock;
    QUrl m_link;
    bool m_busy = false;
    std::optional<QString> m_message;

    QHBoxLayout* m_titleRow = nullptr;
    QHBoxLayout* m_fieldRow = nullptr;
    SettingsStatusLine* m_statusLine = nullptr;
    QWidget* m_connectedForm = nullptr;
    QLabel* m_connectedLabel = nullptr;
    QPushButton* m_disconnectButton = nullptr;
    QWidget* m_entryForm = nullptr;
    QLineEdit* m_keyField = nullptr;
    QPushButton* m_connectButton = nullptr;
    QLabel* m_messageLabel = nullptr;
};
