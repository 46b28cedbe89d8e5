#pragma once

// A damped mass on a spring released from rest (or with a push) one unit away from its rest
// point. valueAt is the fraction of the way travelled: 0 at the start, 1 at rest, above 1
// while it overshoots. Under-, critically and over-damped springs are all solved exactly.
class Spring {
public:
    // Within this fraction of the distance it stays put for good: 0.4 pt on a 400 pt move.
    static constexpr double settleEpsilon = 0.001;

    Spring()
        : Spring(1, 100, 20)
    {
    }
    // initialVelocity is in distances per second towards the rest point. A zero or negative
    // mass or stiffness is raised to a tiny positive one; negative damping counts as none.
    Spring(double mass, double stiffness, double damping, double initialVelocity = 0);

    double valueAt(double seconds) const;
    // The time after which the spring stays within settleEpsilon of rest: the last moment it
    // is that far out, found by scanning back from an exponential bound on its swing.
    // Infinite for an undamped spring.
    double settlingDuration() const { return m_settlingDuration; }

    double mass() const { return m_mass; }
    double stiffness() const { return m_stiffness; }
    double damping() const { return m_damping; }
    double initialVelocity() const { return m_initialVelocity; }

private:
    enum class Regime { underdamped, critical, overdamped };

    double displacement(double t) const;
    double envelope(double t) const;
    double envelopeBound() const;
    double computeSettlingDuration() const;

    double m_mass;
    double m_stiffness;
    double m_damping;
    double m_initialVelocity;
    Regime m_regime = Regime::underdamped;
    // displacement(t): underdamped e^(-m_decay t)(m_a cos(m_rate t) + m_b sin(m_rate t));
    // critical (m_a + m_b t) e^(-m_decay t); overdamped m_a e^(-m_decay t) + m_b e^(-m_rate t).
    double m_decay = 0;
    double m_rate = 0;
    double m_a = 1;
    double m_b = 0;
    double m_settlingDuration = 0;
};
