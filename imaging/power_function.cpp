// pow in double-double arithmetic (about 100 significant bits) built only from IEEE additions,
// multiplications and divisions, then rounded once to double. No fused multiply-add is used,
// so both builds (x86-64 and i686 with SSE2) compute every step identically.
#include "imaging/power_function.h"

#include <cmath>
#include <limits>

namespace imvela {
namespace {

struct DD {
    double hi;
    double lo;
};

inline DD two_sum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

inline DD quick_two_sum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

inline void split(double a, double& hi, double& lo) {
    const double t = 134217729.0 * a;  // 2^27 + 1
    hi = t - (t - a);
    lo = a - hi;
}

inline DD two_prod(double a, double b) {
    const double p = a * b;
    double ah, al, bh, bl;
    split(a, ah, al);
    split(b, bh, bl);
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

inline DD add(DD a, DD b) {
    DD s = two_sum(a.hi, b.hi);
    const DD t = two_sum(a.lo, b.lo);
    s.lo += t.hi;
    s = quick_two_sum(s.hi, s.lo);
    s.lo += t.lo;
    return quick_two_sum(s.hi, s.lo);
}

inline DD mul(DD a, DD b) {
    DD p = two_prod(a.hi, b.hi);
    p.lo += a.hi * b.lo + a.lo * b.hi;
    return quick_two_sum(p.hi, p.lo);
}

inline DD mul(DD a, double b) {
    DD p = two_prod(a.hi, b);
    p.lo += a.lo * b;
    return quick_two_sum(p.hi, p.lo);
}

inline DD div(DD a, DD b) {
    const double q1 = a.hi / b.hi;
    DD r = add(a, mul(b, -q1));
    const double q2 = r.hi / b.hi;
    r = add(r, mul(b, -q2));
    const double q3 = r.hi / b.hi;
    return add(quick_two_sum(q1, q2), DD{q3, 0.0});
}

constexpr DD kLn2{0.6931471805599453094, 2.319046813846299558e-17};

// Natural logarithm of x > 0 (finite, normal or subnormal).
DD log_dd(double x) {
    int exponent = 0;
    double m = std::frexp(x, &exponent);  // x = m * 2^exponent, m in [0.5, 1): exact
    if (m < 0.70710678118654752440) {
        m *= 2.0;
        --exponent;
    }
    // log(m) = 2 atanh(s), s = (m - 1) / (m + 1), |s| <= 0.1716.
    const DD s = div(DD{m - 1.0, 0.0}, two_sum(m, 1.0));
    const DD s2 = mul(s, s);
    static const auto inverses = [] {  // 1 / (2n + 1)
        struct Table {
            DD value[24];
        } table{};
        for (int n = 0; n < 24; ++n) table.value[n] = div(DD{1.0, 0.0}, DD{2.0 * n + 1.0, 0.0});
        return table;
    }();
    DD series = inverses.value[23];
    for (int n = 22; n >= 0; --n) series = add(mul(series, s2), inverses.value[n]);
    const DD logM = mul(mul(s, series), 2.0);
    return add(logM, mul(kLn2, static_cast<double>(exponent)));
}

// e^z for z <= about 709; returns the double-double before the final rounding.
double exp_dd(DD z) {
    if (z.hi < -746.0) return 0.0;
    if (z.hi > 709.8) return std::numeric_limits<double>::infinity();
    const double k = std::floor(z.hi / kLn2.hi + 0.5);
    DD r = add(z, mul(kLn2, -k));
    r = mul(r, 1.0 / 1024.0);  // exact scaling; |r| <= 0.35 / 1024
    // Taylor series to r^12 / 12!, far below 2^-106 for this range.
    DD term{1.0, 0.0};
    DD sum{1.0, 0.0};
    for (int n = 1; n <= 12; ++n) {
        term = div(mul(term, r), DD{static_cast<double>(n), 0.0});
        sum = add(sum, term);
    }
    for (int i = 0; i < 10; ++i) sum = mul(sum, sum);
    // Scale by 2^k in two steps so that neither overflows nor loses bits early.
    const int ki = static_cast<int>(k);
    const double rounded = sum.hi + sum.lo;
    return std::ldexp(rounded, ki);
}

}  // namespace

double correctly_rounded_pow(double x, double y) {
    if (y == 0.0 || x == 1.0) return 1.0;
    if (x == 0.0) return y > 0.0 ? 0.0 : std::numeric_limits<double>::infinity();
    if (y == 1.0) return x;
    return exp_dd(mul(log_dd(x), y));
}

}  // namespace imvela
