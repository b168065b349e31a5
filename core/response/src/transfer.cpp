#include "kvresponse/transfer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kvresponse {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

bool Usable(const Complex& h) {
    return std::isfinite(h.real()) && std::isfinite(h.imag()) && (h.real() != 0 || h.imag() != 0);
}

std::size_t FirstUsable(const std::vector<Complex>& h, std::size_t from) {
    for (std::size_t i = from; i < h.size(); ++i)
        if (Usable(h[i])) return i;
    return kNoPoint;
}

// The multiple of 2 pi added to `wrapped` that lies nearest to `near`.
double NearestBranch(double wrapped, double near) {
    const double d = near - wrapped;
    if (d >= -std::numbers::pi && d <= std::numbers::pi) return wrapped;  // most steps: no call to round
    return wrapped + kTwoPi * std::round(d / kTwoPi);
}

// A polynomial c0 + c1 u + c2 u^2 at u = j w / w0: x + j y, and the
// derivatives of both by w.
struct PolyAt {
    double x, y, dx, dy;
    double Norm() const { return x * x + y * y; }
};
PolyAt PolyValue(double c0, double c1, double c2, double v, double per_w0) {
    return {c0 - c2 * v * v, c1 * v, -2 * c2 * v * per_w0, c1 * per_w0};
}

// The unwrapped phase of a factor's polynomial: its imaginary part c1 v is
// never negative (every factor's c1 is >= 0, and c1 = 0 only with c0 = 0 or
// c2 = 0), so atan2 is continuous over the frequencies.
double PolyPhase(double c0, double c1, double c2, double v) { return std::atan2(c1 * v, c0 - c2 * v * v); }

}  // namespace

Transfer Unity(std::size_t points) {
    Transfer t;
    t.h.assign(points, Complex(1, 0));
    t.dlog.assign(points, Complex(0, 0));
    t.start = points > 0 ? 0 : kNoPoint;
    return t;
}

Transfer Evaluate(const Chain& chain, const std::vector<double>& hz) {
    Transfer t = Unity(hz.size());
    Apply(chain, hz, t);
    return t;
}

void Apply(const Chain& chain, const std::vector<double>& hz, Transfer& t) {
    const std::size_t n = hz.size();
    if (t.start != kNoPoint) t.start_phase += ChainPhase(chain, hz[t.start]);
    for (const Section& s : chain.sections) {
        // One division per point: every factor's evaluation is on the
        // window's path from an edit to the picture.
        const double per_w0 = 1 / (kTwoPi * s.hz), per_hz = 1 / s.hz;
        for (std::size_t i = 0; i < n; ++i) {
            const double v = hz[i] * per_hz;
            const PolyAt num = PolyValue(s.b0, s.b1, s.b2, v, per_w0);
            const PolyAt den = PolyValue(s.a0, s.a1, s.a2, v, per_w0);
            // 1/|N|^2 and 1/|D|^2 from one division.
            const double nn = num.Norm(), dd = den.Norm(), both = 1 / (nn * dd);
            const double rn = dd * both, rd = nn * both;
            // d ln|N/D| / dw and d arg(N/D) / dw.
            const double level_slope = (num.x * num.dx + num.y * num.dy) * rn - (den.x * den.dx + den.y * den.dy) * rd;
            const double phase_slope = (num.x * num.dy - num.y * num.dx) * rn - (den.x * den.dy - den.y * den.dx) * rd;
            // N / D = N conj(D) / |D|^2, raised to the power; products
            // written out (no checks for infinities: every factor is finite).
            const double fr = (num.x * den.x + num.y * den.y) * rd, fi = (num.y * den.x - num.x * den.y) * rd;
            double vr = fr, vi = fi;
            for (int p = 1; p < s.power; ++p) {
                const double r = vr * fr - vi * fi;
                vi = vr * fi + vi * fr;
                vr = r;
            }
            const Complex h = t.h[i];
            t.h[i] = Complex(h.real() * vr - h.imag() * vi, h.real() * vi + h.imag() * vr);
            t.dlog[i] += Complex(level_slope * s.power, phase_slope * s.power);
        }
    }
    if (chain.gain != 1)
        for (Complex& h : t.h) h *= chain.gain;
    if (chain.delay_s != 0)
        for (std::size_t i = 0; i < n; ++i) {
            const double angle = -kTwoPi * hz[i] * chain.delay_s;
            t.h[i] *= Complex(std::cos(angle), std::sin(angle));
            t.dlog[i] += Complex(0, -chain.delay_s);
        }
    if (chain.gain == 0) t.start = kNoPoint;
}

double ChainPhase(const Chain& chain, double hz) {
    double phase = chain.gain < 0 ? std::numbers::pi : 0.0;
    for (const Section& s : chain.sections) {
        const double v = hz / s.hz;
        phase += s.power * (PolyPhase(s.b0, s.b1, s.b2, v) - PolyPhase(s.a0, s.a1, s.a2, v));
    }
    return phase - kTwoPi * hz * chain.delay_s;
}

Transfer Multiply(const Transfer& a, const Transfer& b, const std::vector<double>& hz) {
    Transfer t;
    const std::size_t n = hz.size();
    t.h.resize(n);
    t.dlog.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        t.h[i] = a.h[i] * b.h[i];
        t.dlog[i] = a.dlog[i] + b.dlog[i];
    }
    if (a.start == kNoPoint || b.start == kNoPoint) return t;
    t.start = FirstUsable(t.h, std::max(a.start, b.start));
    if (t.start == kNoPoint) return t;
    if (t.start == a.start && t.start == b.start) {
        t.start_phase = a.start_phase + b.start_phase;
    } else {
        // One of them starts later (a measurement that begins above the
        // lowest frequency): both are unwrapped up to the common start.
        t.start_phase = UnwrappedPhase(a, hz)[t.start] + UnwrappedPhase(b, hz)[t.start];
    }
    return t;
}

Transfer Sum(const std::vector<const Transfer*>& parts, const std::vector<double>& hz) {
    const std::size_t n = hz.size();
    Transfer t;
    t.h.assign(n, Complex(0, 0));
    t.dlog.assign(n, Complex(0, 0));
    std::vector<Complex> slope(n, Complex(0, 0));  // d S / d w = sum of H d ln H / d w
    for (const Transfer* p : parts)
        for (std::size_t i = 0; i < n; ++i) {
            t.h[i] += p->h[i];
            // A muted part adds nothing to the slope either.
            if (p->h[i] != Complex(0, 0)) slope[i] += p->h[i] * p->dlog[i];
        }
    const double nan = std::nan("");
    for (std::size_t i = 0; i < n; ++i) t.dlog[i] = Usable(t.h[i]) ? slope[i] / t.h[i] : Complex(nan, nan);

    t.start = FirstUsable(t.h, 0);
    if (t.start == kNoPoint) return t;
    const std::size_t k = t.start;
    const Transfer* loudest = nullptr;
    for (const Transfer* p : parts)
        if (p->start != kNoPoint && p->start <= k && Usable(p->h[k]) &&
            (!loudest || std::abs(p->h[k]) > std::abs(loudest->h[k])))
            loudest = p;
    const double wrapped = std::arg(t.h[k]);
    if (!loudest) {
        t.start_phase = wrapped;
    } else {
        const double near = loudest->start == k ? loudest->start_phase : UnwrappedPhase(*loudest, hz)[k];
        t.start_phase = NearestBranch(wrapped, near);
    }
    return t;
}

std::vector<double> UnwrappedPhase(const Transfer& t, const std::vector<double>& hz) {
    std::vector<double> wrapped(hz.size());
    for (std::size_t i = 0; i < hz.size(); ++i) wrapped[i] = std::arg(t.h[i]);
    return UnwrappedPhase(t, hz, wrapped);
}

std::vector<double> UnwrappedPhase(const Transfer& t, const std::vector<double>& hz,
                                   const std::vector<double>& wrapped) {
    std::vector<double> out(hz.size(), std::nan(""));
    if (t.start == kNoPoint || t.start >= hz.size()) return out;
    out[t.start] = t.start_phase;
    std::size_t prev = t.start;
    for (std::size_t i = t.start + 1; i < hz.size(); ++i) {
        if (!Usable(t.h[i])) continue;
        double tau_prev = -t.dlog[prev].imag(), tau = -t.dlog[i].imag();
        if (!std::isfinite(tau)) tau = tau_prev;
        if (!std::isfinite(tau_prev)) tau_prev = tau;
        const double step = std::isfinite(tau) ? -(tau_prev + tau) / 2 * kTwoPi * (hz[i] - hz[prev]) : 0.0;
        out[i] = NearestBranch(wrapped[i], out[prev] + step);
        prev = i;
    }
    return out;
}

}  // namespace kvresponse
