#include "note/NoteText.h"

#include "support/BidiControls.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <cmath>

namespace {

// Line breaks in the text start new lines, as they would in any text view.
QString withLineSeparators(QString text)
{
    text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    text.replace(QChar(u'\n'), QChar::LineSeparator);
    text.replace(QChar(u'\r'), QChar::LineSeparator);
    return text;
}

QString withoutTrailingSpace(QString text)
{
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

// The rest of the text from `start`, on one line, cut with "…" where it passes `width`.
QString elided(QString rest, const QFont& font, qreal width)
{
    rest.replace(QChar::LineSeparator, QChar(u' '));
    return QFontMetricsF(font).elidedText(withoutTrailingSpace(rest), Qt::ElideRight, width);
}

} // namespace

NoteText::NoteText(const QString& text, const QFont& font, const QColor& colour, qreal width, int maxLines)
    : m_font(font)
    , m_colour(colour)
{
    // No direction embedding from an event's text spills past its end onto the rest of the note.
    const QString prepared = withLineSeparators(withoutBidiEmbeddings(text));
    if (prepared.isEmpty())
        return;
    QTextLayout layout(prepared, font);
    QTextOption option;
    // Words move to the next line; a single word wider than the line breaks where it must.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);

    struct Span {
        int start;
        int length;
        qreal bottom;
    };
    QList<Span> spans;
    qreal total = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(width);
        line.setPosition(QPointF(0, total));
        total += line.height();
        spans.append({line.textStart(), line.textLength(), total});
    }
    layout.endLayout();

    m_height = std::min(std::ceil(total), maxLines * lineHeight(font));
    for (qsizetype i = 0; i < spans.size() && spans[i].bottom <= m_height + 1e-6; ++i) {
        const bool more = i + 1 < spans.size();
        const bool last = more && (spans[i + 1].bottom > m_height + 1e-6);
        m_lines.append(last ? elided(prepared.mid(spans[i].start), font, width)
                            : withoutTrailingSpace(prepared.mid(spans[i].start, spans[i].length)));
    }
}

void NoteText::draw(QPainter& painter, QPointF topLeft) const
{
    const QFontMetricsF metrics(m_font);
    const qreal step = metrics.ascent() + metrics.descent() + metrics.leading();
    for (qsizetype i = 0; i < m_lines.size(); ++i)
        drawLine(painter, topLeft + QPointF(0, i * step), m_lines[i], m_font, m_colour);
}

qreal NoteText::lineHeight(const QFont& font)
{
    const QFontMetricsF metrics(font);
    return std::ceil(metrics.ascent() + metrics.descent() + metrics.leading());
}

QSizeF NoteText::naturalSize(const QString& text, const QFont& font)
{
    const QFontMetricsF metrics(font);
    return {metrics.horizontalAdvance(text), metrics.ascent() + metrics.descent() + metrics.leading()};
}

void NoteText::drawLine(
    QPainter& painter, QPointF topLeft, const QString& text, const QFont& font, const QColor& colour)
{
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(topLeft + QPointF(0, QFontMetricsF(font).ascent()), text);
}
