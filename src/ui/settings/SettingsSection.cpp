#include "ui/settings/SettingsSection.h"

#include "support/Scheduler.h"
#include "ui/settings/SettingsStatusLine.h"
#include "ui/settings/SettingsStyle.h"
#include "watchers/Watcher.h"

#include <QDesktopServices>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using SettingsStyle::TextSize;

namespace {

const QString connectTitle = u"Connect"_s;
const QString checkingTitle = u"Checking…"_s;

QVBoxLayout* stack(QWidget* owner)
{
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    return layout;
}

} // namespace

SettingsSection::SettingsSection(Watcher& watcher, Scheduler& clock, const Texts& texts, QWidget* parent)
    : QGroupBox(parent)
    , m_watcher(watcher)
    , m_clock(clock)
    , m_link(texts.link)
{
    auto* rows = stack(this);
    // The box's own inset plus the section's padding of 6.
    rows->setContentsMargins(12, 12, 12, 12);

    m_titleRow = new QHBoxLayout;
    m_titleRow->setSpacing(8);
    m_titleRow->addWidget(SettingsStyle::label(texts.title, TextSize::headline, false, this));
    m_titleRow->addStretch(1);
    m_statusLine = new SettingsStatusLine(this);
    m_statusLine->setObjectName(u"statusLine"_s);
    m_titleRow->addWidget(m_statusLine);
    rows->addLayout(m_titleRow);

    rows->addWidget(buildConnectedForm());
    rows->addWidget(buildEntryForm(texts));
    m_messageLabel = SettingsStyle::label({}, TextSize::callout, true, this);
    m_messageLabel->setObjectName(u"message"_s);
    m_messageLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_messageLabel->hide();
    rows->addWidget(m_messageLabel);

    // Every assignment is signalled, so the section never shows a stale copy.
    QObject::connect(&m_watcher, &Watcher::stateChanged, this, &SettingsSection::refresh);
    QObject::connect(&m_watcher, &Watcher::lastCheckedChanged, this, &SettingsSection::refresh);
    QObject::connect(&m_watcher, &Watcher::keyChanged, this, &SettingsSection::refresh);
    applyColors();
}

QWidget* SettingsSection::buildConnectedForm()
{
    m_connectedForm = new QWidget(this);
    auto* rows = stack(m_connectedForm);
    m_connectedLabel = SettingsStyle::label({}, TextSize::callout, true, m_connectedForm);
    m_connectedLabel->setObjectName(u"connectedText"_s);
    rows->addWidget(m_connectedLabel);
    m_disconnectButton = new QPushButton(u"Disconnect"_s, m_connectedForm);
    m_disconnectButton->setObjectName(u"disconnectButton"_s);
    m_disconnectButton->setAutoDefault(false);
    rows->addWidget(m_disconnectButton, 0, Qt::AlignLeft);
    QObject::connect(m_disconnectButton, &QPushButton::clicked, this, [this] { m_watcher.disconnect(); });
    return m_connectedForm;
}

QWidget* SettingsSection::buildEntryForm(const Texts& texts)
{
    m_entryForm = new QWidget(this);
    auto* rows = stack(m_entryForm);

    const QString instruction = SettingsStyle::withBoldSpans(texts.instruction);
    QLabel* instructionLabel = SettingsStyle::label(instruction, TextSize::callout, true, m_entryForm);
    instructionLabel->setTextFormat(Qt::RichText);
    rows->addWidget(instructionLabel);

    const QString anchor = u"<a href=\"%1\">%2</a>"_s.arg(
        m_link.toString(QUrl::FullyEncoded).toHtmlEscaped(), texts.linkText.toHtmlEscaped());
    QLabel* linkLabel = SettingsStyle::label(anchor, TextSize::callout, false, m_entryForm);
    linkLabel->setObjectName(u"link"_s);
    linkLabel->setTextFormat(Qt::RichText);
    linkLabel->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    linkLabel->setCursor(Qt::PointingHandCursor);
    rows->addWidget(linkLabel, 0, Qt::AlignLeft);
    QObject::connect(linkLabel, &QLabel::linkActivated, this, [this] { QDesktopServices::openUrl(m_link); });

    m_keyField = new QLineEdit(m_entryForm);
    m_keyField->setObjectName(u"keyField"_s);
    m_keyField->setEchoMode(QLineEdit::Password);
    m_keyField->setPlaceholderText(texts.keyPlaceholder);
    m_connectButton = new QPushButton(m_entryForm);
    m_connectButton->setObjectName(u"connectButton"_s);
    m_connectButton->setAutoDefault(false);
    // Wide enough for either title, so the row does not shift when a check starts.
    m_connectButton->setText(checkingTitle);
    const int checkingWidth = m_connectButton->sizeHint().width();
    m_connectButton->setText(connectTitle);
    m_connectButton->setMinimumWidth(qMax(checkingWidth, m_connectButton->sizeHint().width()));

    m_fieldRow = new QHBoxLayout;
    m_fieldRow->setSpacing(8);
    m_fieldRow->addWidget(m_keyField, 1);
    m_fieldRow->addWidget(m_connectButton);
    rows->addLayout(m_fieldRow);

    QObject::connect(m_keyField, &QLineEdit::returnPressed, this, &SettingsSection::startConnect);
    QObject::connect(m_keyField, &QLineEdit::textChanged, this, &SettingsSection::refreshButton);
    QObject::connect(m_connectButton, &QPushButton::clicked, this, &SettingsSection::startConnect);
    return m_entryForm;
}

void SettingsSection::addTitleMarker(QWidget* marker)
{
    m_titleRow->insertWidget(1, marker);
}

void SettingsSection::addField(QLineEdit* field)
{
    m_fieldRow->insertWidget(m_fieldRow->indexOf(m_connectButton), field);
    QObject::connect(field, &QLineEdit::returnPressed, this, &SettingsSection::startConnect);
}

void SettingsSection::startConnect()
{
    // A key of blanks would only earn a refusal; the button is off for it too.
    if (m_busy || m_keyField->text().trimmed().isEmpty())
        return;
    m_busy = true;
    m_message.reset();
    refresh();
    // The watcher answers on the main thread; a section that is gone by then drops the answer.
    QCoro::connect(connectWatcher(m_keyField->text()), this,
        [this](const std::optional<QString>& answer) { finishConnect(answer); });
}

void SettingsSection::finishConnect(const std::optional<QString>& answer)
{
    m_busy = false;
    m_message = answer;
    // A refused key stays so it can be corrected; an accepted one is not kept in the window.
    if (!answer)
        m_keyField->clear();
    refresh();
}

void SettingsSection::refresh()
{
    const bool connected = m_watcher.isConnected();
    m_connectedForm->setVisible(connected);
    m_entryForm->setVisible(!connected);
    if (connected)
        m_connectedLabel->setText(connectedText());
    m_messageLabel->setText(m_message.value_or(QString()));
    m_messageLabel->setVisible(m_message.has_value());
    refreshTime();
    refreshButton();
    refreshExtras();
}

void SettingsSection::refreshTime()
{
    m_statusLine->display(m_watcher.state(), m_watcher.lastChecked(), m_clock.now());
}

bool SettingsSection::showsConnectedForm() const
{
    return !m_connectedForm->isHidden();
}

void SettingsSection::refreshButton()
{
    m_connectButton->setText(m_busy ? checkingTitle : connectTitle);
    m_connectButton->setEnabled(!m_busy && !m_keyField->text().trimmed().isEmpty());
}

void SettingsSection::changeEvent(QEvent* event)
{
    QGroupBox::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColors();
}

void SettingsSection::applyColors()
{
    SettingsStyle::setTextColor(m_connectedLabel, SettingsStyle::secondary(palette()));
    SettingsStyle::setTextColor(m_messageLabel, SettingsStyle::red(palette()));
}
