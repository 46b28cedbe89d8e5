#include "ui/settings/SettingsStatusLine.h"

#include "ui/settings/SettingsStyle.h"
#include "ui/settings/SettingsSymbol.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>

#include <array>

using namespace Qt::StringLiterals;
using SettingsStyle::TextSize;

namespace {

QString amount(qint64 count, const QString& unit, const QString& plural)
{
    return u"%1 %2"_s.arg(count).arg(count == 1 ? unit : plural);
}

} // namespace

SettingsStatusLine::SettingsStatusLine(QWidget* parent)
    : QWidget(parent)
    , m_symbol(new SettingsSymbol(this))
    , m_text(SettingsStyle::label({}, TextSize::callout, true, this))
    , m_detail(SettingsStyle::label({}, TextSize::callout, false, this))
{
    m_symbol->setObjectName(u"symbol"_s);
    m_symbol->setFont(m_text->font());
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    row->addWidget(m_symbol);
    row->addWidget(m_text, 1);
    row->addWidget(m_detail);
    display(WatchState::off(), std::nullopt, {});
}

QString SettingsStatusLine::elapsedText(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 0);
    struct Unit {
        qint64 seconds;
        QString singular;
        QString plural;
    };
    static const std::array<Unit, 4> units{
        {{86400, u"day"_s, u"days"_s}, {3600, u"hr"_s, u"hr"_s}, {60, u"min"_s, u"min"_s}, {1, u"sec"_s, u"sec"_s}}};
    QStringList parts;
    for (const Unit& unit : units) {
        const qint64 count = seconds / unit.seconds;
        seconds %= unit.seconds;
        if (!parts.isEmpty() && count == 0)
            break; // "1 hr", not "1 hr, 0 min"
        if (count > 0)
            parts.append(amount(count, unit.singular, unit.plural));
        if (parts.size() == 2)
            break;
    }
    return parts.isEmpty() ? u"0 sec"_s : parts.join(u", "_s);
}

void SettingsStatusLine::display(
    const WatchState& state, const std::optional<QDateTime>& lastChecked, const QDateTime& now)
{
    m_state = state;
    // A time that goes stale as the clock moves, shown only while watching.
    const bool showsElapsedTime = state.kind == WatchState::Kind::watching && lastChecked.has_value();
    QString text;
    switch (state.kind) {
    case WatchState::Kind::off:
        text = u"Not connected"_s;
        break;
    case WatchState::Kind::connecting:
        text = u"Checking…"_s;
        break;
    case WatchState::Kind::watching:
        text = u"Watching"_s;
        break;
    case WatchState::Kind::problem:
        text = state.message;
        break;
    }
    m_text->setText(text);
    m_detail->setText(showsElapsedTime ? u"· checked %1 ago"_s.arg(elapsedText(lastChecked->secsTo(now))) : QString());
    m_detail->setVisible(showsElapsedTime);
    applyColors();
}

void SettingsStatusLine::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColors();
}

void SettingsStatusLine::applyColors()
{
    using Kind = SettingsSymbol::Kind;
    const QPalette& colors = palette();
    const QColor quiet = SettingsStyle::secondary(colors);
    switch (m_state.kind) {
    case WatchState::Kind::off:
        m_symbol->setSymbol(Kind::circle, quiet);
        SettingsStyle::setTextColor(m_text, quiet);
        break;
    case WatchState::Kind::connecting:
        m_symbol->setSymbol(Kind::hourglass, quiet);
        SettingsStyle::setTextColor(m_text, quiet);
        break;
    case WatchState::Kind::watching:
        m_symbol->setSymbol(Kind::checkmarkCircleFill, SettingsStyle::green(colors));
        SettingsStyle::setTextColor(m_text, colors.color(QPalette::WindowText));
        break;
    case WatchState::Kind::problem:
        m_symbol->setSymbol(Kind::exclamationTriangleFill, SettingsStyle::orange(colors));
        SettingsStyle::setTextColor(m_text, SettingsStyle::orange(colors));
        break;
    }
    SettingsStyle::setTextColor(m_detail, quiet);
}
