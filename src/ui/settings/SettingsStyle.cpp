#include "ui/settings/SettingsStyle.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>

namespace SettingsStyle {

namespace {

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor pick(const QPalette& palette, QColor onLight, QColor onDark)
{
    return isDark(palette) ? onDark : onLight;
}

// Relative to the desktop's body text, so a larger desktop font scales the whole window.
qreal scale(TextSize size)
{
    switch (size) {
    case TextSize::title:
        return 1.5;
    case TextSize::headline:
    case TextSize::body:
        return 1.0;
    case TextSize::callout:
        return 0.95;
    case TextSize::caption:
        return 0.9;
    }
    return 1.0;
}

} // namespace

QFont font(TextSize size, bool bold)
{
    QFont result = QApplication::font();
    if (result.pointSizeF() > 0)
        result.setPointSizeF(result.pointSizeF() * scale(size));
    else
        result.setPixelSize(qRound(result.pixelSize() * scale(size)));
    if (bold || size == TextSize::title || size == TextSize::headline)
        result.setWeight(QFont::Bold);
    return result;
}

QColor secondary(const QPalette& palette)
{
    // Mixed rather than translucent, so it reads the same over any background.
    const QColor text = palette.color(QPalette::WindowText);
    const QColor window = palette.color(QPalette::Window);
    const qreal t = 0.42;
    return QColor::fromRgbF(text.redF() + (window.redF() - text.redF()) * t,
        text.greenF() + (window.greenF() - text.greenF()) * t, text.blueF() + (window.blueF() - text.blueF()) * t);
}

QColor red(const QPalette& palette)
{
    return pick(palette, QColor(0xc4, 0x1e, 0x27), QColor(0xff, 0x5a, 0x50));
}

QColor orange(const QPalette& palette)
{
    return pick(palette, QColor(0xc2, 0x5a, 0x00), QColor(0xff, 0xa2, 0x1a));
}

QColor green(const QPalette& palette)
{
    return pick(palette, QColor(0x23, 0x92, 0x3d), QColor(0x32, 0xd1, 0x5a));
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    if (palette.color(QPalette::WindowText) == color && palette.color(QPalette::Text) == color)
        return;
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

QString withBoldSpans(const QString& text)
{
    // Every second piece between markers is bold; an unpaired marker stays as typed.
    const QStringList pieces = text.split(QStringLiteral("**"));
    if (pieces.size() % 2 == 0)
        return text.toHtmlEscaped();
    QString html;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const QString escaped = pieces[i].toHtmlEscaped();
        html += i % 2 ? QStringLiteral("<b>%1</b>").arg(escaped) : escaped;
    }
    return html;
}

QLabel* label(const QString& text, TextSize size, bool wrap, QWidget* parent)
{
    auto* result = new QLabel(text, parent);
    result->setFont(font(size));
    result->setTextFormat(Qt::PlainText);
    result->setWordWrap(wrap);
    // Given more height than the text needs, the text stays at the top.
    result->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return result;
}

} // namespace SettingsStyle
