#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QPalette;
class QWidget;

// The settings window's type sizes and colours, derived from the desktop's own font and palette
// so the window follows the user's theme, light or dark.
namespace SettingsStyle {

enum class TextSize { title, headline, body, callout, caption };

QFont font(TextSize size, bool bold = false);

// Softer than the text colour, for explanations and idle states.
QColor secondary(const QPalette& palette);
// Accent colours, darker on light backgrounds and lighter on dark ones so they stay readable.
QColor red(const QPalette& palette);
QColor orange(const QPalette& palette);
QColor green(const QPalette& palette);

// Sets the colour a widget draws its text in.
void setTextColor(QWidget* widget, const QColor& color);

// Rich text for a label: HTML-escaped, with **spans** shown bold and the asterisks dropped.
QString withBoldSpans(const QString& text);

// A plain label in the given size; wrapping labels grow as tall as their text needs.
QLabel* label(const QString& text, TextSize size, bool wrap = false, QWidget* parent = nullptr);

} // namespace SettingsStyle
