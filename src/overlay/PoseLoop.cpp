#include "overlay/PoseLoop.h"

#include "layers/Layer.h"
#include "layers/LayerPainter.h"
#include "overlay/OverlayPanel.h"
#include "overlay/PictureSignature.h"

#include <QPainter>

#include <cmath>

namespace {

// The smallest rectangle holding every pixel where two pictures of the same size differ.
QRect differingArea(const QImage& a, const QImage& b)
{
    QRect area;
    for (int y = 0; y < a.height(); ++y) {
        const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        int left = 0, right = a.width() - 1;
        while (left <= right && rowA[left] == rowB[left])
            ++left;
        while (right >= left && rowA[right] == rowB[right])
            --right;
        if (left <= right)
            area |= QRect(left, y, right - left + 1, 1);
    }
    return area;
}

} // namespace

PoseLoop::PoseLoop(LayerTree& tree, OverlayPanel& panel)
    : m_tree(tree)
    , m_panel(panel)
{
}

PoseLoop::~PoseLoop() = default;

bool PoseLoop::start(const LayerTree::Loop& loop, double stepSeconds, QPoint viewOffset, QSize viewSize)
{
    stop();
    if (stepSeconds <= 0 || loop.period < stepSeconds)
        return false;
    // The same picture at the same place: the sheet made for it before serves again.
    quint64 key = PictureSignature::of(*m_tree.root(), loop.origin, 1.0);
    key = (key ^ quint64(viewOffset.x() + 65536 * viewOffset.y())) * 1099511628211ull;
    key = (key ^ quint64(m_panel.width() + 65536 * m_panel.height())) * 1099511628211ull;
    key = (key ^ quint64(OverlayPlatform::shared().isComposited())) * 1099511628211ull;
    std::shared_ptr<Set> set = m_sets.value(key);
    if (!set) {
        set = makeSet(loop.origin, loop.period, stepSeconds, viewOffset, viewSize);
        if (!set)
            return false;
        if (m_sets.size() >= rememberedSets)
            m_sets.clear();
        m_sets.insert(key, set);
    }
    m_current = set;
    m_loop = loop;
    m_step = stepSeconds;
    m_shownPose = -1;
    return true;
}

std::shared_ptr<PoseLoop::Set> PoseLoop::makeSet(
    double origin, double period, double step, QPoint viewOffset, QSize viewSize) const
{
    auto set = std::make_shared<Set>();
    const int steps = std::max(1, int(std::lround(period / step)));
    // Where the platform cuts windows, each pose also cuts the window to what it draws.
    const bool cut = OverlayPlatform::shared().cutsToDrawn();
    QList<OverlayPlatform::Pose> poses;
    quint64 previous = 0;
    for (int k = 0; k < steps; ++k) {
        const double time = origin + k * step;
        const quint64 signature = PictureSignature::of(*m_tree.root(), time, 1.0);
        if (k > 0 && signature == previous) {
            set->poseAt.push_back(set->poseAt.back());
            continue;
        }
        previous = signature;
        QImage picture(m_panel.size(), QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.translate(viewOffset);
        LayerPainter::paint(painter, *m_tree.root(), time, viewSize, 1.0);
        painter.end();
        set->poseAt.push_back(int(poses.size()));
        const QRegion shape = cut ? OverlayPanel::drawnRegionOf(picture) : QRegion();
        OverlayPanel::showSolidWithoutCompositor(picture);
        poses.append({picture, shape});
    }
    for (qsizetype pose = 0; pose < poses.size(); ++pose) {
        const QImage& before = poses[(pose + poses.size() - 1) % poses.size()].picture;
        set->changedArea.push_back(differingArea(before, poses[pose].picture));
    }
    set->sheet = OverlayPlatform::shared().makePoseSheet(&m_panel, poses);
    return set->sheet ? set : nullptr;
}

double PoseLoop::show(double now)
{
    if (!m_current)
        return m_loop.period;
    const int steps = int(m_current->poseAt.size());
    const double phase = std::fmod(std::max(0.0, now - m_loop.origin), m_loop.period);
    const int k = std::min(steps - 1, int(phase / m_step));
    const int pose = m_current->poseAt[size_t(k)];
    if (pose != m_shownPose) {
        // Straight from the pose before, only what changed is copied; after a jump, all of it.
        const int count = int(m_current->changedArea.size());
        const bool next = m_shownPose >= 0 && pose == (m_shownPose + 1) % count;
        m_shownPose = pose;
        m_current->sheet->show(pose, next ? m_current->changedArea[size_t(pose)] : m_panel.rect());
    }
    for (int ahead = 1; ahead <= steps; ++ahead) {
        if (m_current->poseAt[size_t((k + ahead) % steps)] != pose)
            return (k + ahead) * m_step - phase + 0.001; // just past the step, never just before it
    }
    return m_loop.period;
}

void PoseLoop::stop()
{
    if (m_current)
        m_current->sheet->release();
    m_current.reset();
    m_shownPose = -1;
}
