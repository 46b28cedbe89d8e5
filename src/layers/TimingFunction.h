#pragma once

// Pacing of an animation segment: a cubic Bézier from (0,0) to (1,1) through two control points.
// valueAt maps elapsed progress (x) to eased progress (y).
class TimingFunction {
public:
    // Linear.
    TimingFunction() = default;
    // x1 and x2 are clamped to [0, 1] so that x grows with t and every progress has one value.
    TimingFunction(double x1, double y1, double x2, double y2);

    static TimingFunction linear() { return {}; }
    static TimingFunction easeIn() { return {0.42, 0, 1, 1}; }
    static TimingFunction easeOut() { return {0, 0, 0.58, 1}; }
    static TimingFunction easeInEaseOut() { return {0.42, 0, 0.58, 1}; }

    // Progress outside [0, 1] is clamped. Precise to 1e-6 or better, also where the curve is flat or steep.
    double valueAt(double progress) const;

    bool isLinear() const { return m_linear; }

private:
    double solveCurveT(double x) const;
    double curveX(double t) const { return ((m_ax * t + m_bx) * t + m_cx) * t; }
    double curveY(double t) const { return ((m_ay * t + m_by) * t + m_cy) * t; }
    double curveSlopeX(double t) const { return (3 * m_ax * t + 2 * m_bx) * t + m_cx; }

    // Polynomial coefficients of x(t) and y(t), so each is three multiply-adds.
    double m_ax = 0, m_bx = 0, m_cx = 1;
    double m_ay = 0, m_by = 0, m_cy = 1;
    bool m_linear = true;
};
