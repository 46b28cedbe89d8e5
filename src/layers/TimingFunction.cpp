#include "layers/TimingFunction.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int newtonSteps = 8;
constexpr double newtonTolerance = 1e-12;
constexpr int bisectionSteps = 48;
} // namespace

TimingFunction::TimingFunction(double x1, double y1, double x2, double y2)
{
    x1 = std::clamp(x1, 0.0, 1.0);
    x2 = std::clamp(x2, 0.0, 1.0);
    // Control points on the diagonal make the identity; keep that exact.
    m_linear = x1 == y1 && x2 == y2;
    m_cx = 3 * x1;
    m_bx = 3 * (x2 - x1) - m_cx;
    m_ax = 1 - m_cx - m_bx;
    m_cy = 3 * y1;
    m_by = 3 * (y2 - y1) - m_cy;
    m_ay = 1 - m_cy - m_by;
}

double TimingFunction::valueAt(double progress) const
{
    progress = std::clamp(progress, 0.0, 1.0);
    if (m_linear)
        return progress;
    return curveY(solveCurveT(progress));
}

// Newton converges in a few steps where the curve is steep enough; where x'(t) vanishes
// (a control point at x = 0 or 1) it crawls, so bisection on [0, 1] finishes the job.
double TimingFunction::solveCurveT(double x) const
{
    double t = x;
    for (int i = 0; i < newtonSteps; ++i) {
        const double error = curveX(t) - x;
        if (std::abs(error) < newtonTolerance)
            return t;
        const double slope = curveSlopeX(t);
        if (std::abs(slope) < 1e-6)
            break;
        t -= error / slope;
        if (t < 0 || t > 1)
            break;
    }
    double low = 0, high = 1;
    t = x;
    for (int i = 0; i < bisectionSteps; ++i) {
        const double error = curveX(t) - x;
        if (std::abs(error) < newtonTolerance)
            break;
        (error > 0 ? high : low) = t;
        t = (low + high) / 2;
    }
    return t;
}
