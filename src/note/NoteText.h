#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QSizeF>
#include <QStringList>

class QPainter;

// One block of note text wrapped by word at a fixed width: the height it is given and the lines
// it shows within a number of lines, the last cut with an ellipsis when text remains.
class NoteText {
public:
    NoteText() = default;
    NoteText(const QString& text, const QFont& font, const QColor& colour, qreal width, int maxLines);

    // ceil(the wrapped lines' heights), capped at `maxLines` lines; 0 for no text.
    qreal height() const { return m_height; }
    const QStringList& lines() const { return m_lines; }

    // Each shown line from `topLeft` down, one line height apart.
    void draw(QPainter& painter, QPointF topLeft) const;

    // ceil(ascent + descent + leading) of `font`.
    static qreal lineHeight(const QFont& font);
    // One line of `text` at its own width.
    static QSizeF naturalSize(const QString& text, const QFont& font);
    static void drawLine(
        QPainter& painter, QPointF topLeft, const QString& text, const QFont& font, const QColor& colour);

private:
    QFont m_font;
    QColor m_colour;
    qreal m_height = 0;
    QStringList m_lines;
};
