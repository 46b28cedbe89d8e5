#include "layers/Spring.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr double tiny = 1e-9;
// Damping ratios this close to 1 are treated as critical: the other two forms divide by a
// frequency that vanishes there.
constexpr double criticalBand = 1e-6;
// Step of the backward scan; a swing narrower than this that barely crosses epsilon may be
// missed, which moves the answer by less than one step.
constexpr double scanStep = 1.0 / 600;
// Past this many steps (over five minutes of swinging) the bound itself is close enough.
constexpr int maxScanSteps = 200000;
} // namespace

Spring::Spring(double mass, double stiffness, double damping, double initialVelocity)
    : m_mass(std::max(mass, tiny))
    , m_stiffness(std::max(stiffness, tiny))
    , m_damping(std::max(damping, 0.0))
    , m_initialVelocity(initialVelocity)
{
    const double natural = std::sqrt(m_stiffness / m_mass);
    const double ratio = m_damping / (2 * std::sqrt(m_stiffness * m_mass));
    // Displacement starts at 1 and moves towards 0 at the given velocity.
    const double startSlope = -m_initialVelocity;
    if (ratio < 1 - criticalBand) {
        m_regime = Regime::underdamped;
        m_decay = ratio * natural;
        m_rate = natural * std::sqrt(1 - ratio * ratio);
        m_b = (m_decay + startSlope) / m_rate;
    } else if (ratio <= 1 + criticalBand) {
        m_regime = Regime::critical;
        m_decay = natural;
        m_b = startSlope + natural;
    } else {
        m_regime = Regime::overdamped;
        const double spread = natural * std::sqrt(ratio * ratio - 1);
        m_decay = ratio * natural - spread; // the slow root
        m_rate = ratio * natural + spread;  // the fast root
        m_b = (startSlope + m_decay) / (m_decay - m_rate);
        m_a = 1 - m_b;
    }
    m_settlingDuration = computeSettlingDuration();
}

double Spring::valueAt(double seconds) const
{
    if (seconds <= 0)
        return 0;
    return 1 - displacement(seconds);
}

double Spring::displacement(double t) const
{
    switch (m_regime) {
    case Regime::underdamped:
        return std::exp(-m_decay * t) * (m_a * std::cos(m_rate * t) + m_b * std::sin(m_rate * t));
    case Regime::critical:
        return (m_a + m_b * t) * std::exp(-m_decay * t);
    case Regime::overdamped:
        return m_a * std::exp(-m_decay * t) + m_b * std::exp(-m_rate * t);
    }
    return 0;
}

// An upper bound on |displacement| from t on; it only falls once t is past the critical
// form's hump.
double Spring::envelope(double t) const
{
    switch (m_regime) {
    case Regime::underdamped:
        return std::hypot(m_a, m_b) * std::exp(-m_decay * t);
    case Regime::critical:
        return (std::abs(m_a) + std::abs(m_b) * t) * std::exp(-m_decay * t);
    case Regime::overdamped:
        return std::abs(m_a) * std::exp(-m_decay * t) + std::abs(m_b) * std::exp(-m_rate * t);
    }
    return 0;
}

// The first time the envelope, past its peak, drops to epsilon: nothing is out that far later.
double Spring::envelopeBound() const
{
    double low = 0;
    if (m_regime == Regime::critical && m_b != 0)
        low = std::max(0.0, 1 / m_decay - std::abs(m_a) / std::abs(m_b));
    double high = std::max(low, 1 / m_decay);
    while (envelope(high) > settleEpsilon)
        high *= 2;
    for (int i = 0; i < 60 && high - low > 1e-9; ++i) {
        const double middle = (low + high) / 2;
        (envelope(middle) > settleEpsilon ? low : high) = middle;
    }
    return high;
}

double Spring::computeSettlingDuration() const
{
    if (m_decay <= 0)
        return std::numeric_limits<double>::infinity();
    const double bound = envelopeBound();
    double after = bound;
    double t = after - scanStep;
    for (int steps = 0; t > 0 && std::abs(displacement(t)) < settleEpsilon; ++steps) {
        if (steps == maxScanSteps)
            return bound;
        after = t;
        t -= scanStep;
    }
    if (t <= 0)
        t = 0;
    // Refine the crossing between t (still out) and after (within).
    for (int i = 0; i < 40; ++i) {
        const double middle = (t + after) / 2;
        (std::abs(displacement(middle)) < settleEpsilon ? after : t) = middle;
    }
    return after;
}
