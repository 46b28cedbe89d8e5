#pragma once

#include <QImage>
#include <QWidget>

struct Frame;

// A sprite frame at a fixed number of points per sprite pixel, rasterised for the screen the
// window is on so its pixels stay hard-edged at any scaling.
class SettingsMonkey : public QWidget {
    Q_OBJECT
public:
    SettingsMonkey(const Frame& frame, double pointsPerPixel, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const Frame& m_frame;
    double m_pointsPerPixel;
    QImage m_image; // rasterised for m_image.devicePixelRatio()
};
