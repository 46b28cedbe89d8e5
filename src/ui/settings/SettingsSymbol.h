#pragma once

#include <QColor>
#include <QWidget>

// A small state icon drawn as vectors, crisp at any scale: an empty circle, an hourglass, a
// filled circle with a check, a filled triangle with an exclamation mark.
class SettingsSymbol : public QWidget {
    Q_OBJECT
public:
    enum class Kind { circle, hourglass, checkmarkCircleFill, exclamationTriangleFill };

    explicit SettingsSymbol(QWidget* parent = nullptr);

    void setSymbol(Kind kind, const QColor& color);
    Kind kind() const { return m_kind; }
    QColor color() const { return m_color; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind m_kind = Kind::circle;
    QColor m_color;
};
