// Vector kernels of the lattice noises. This file is compiled once per
// instruction set by Highway's foreach_target and dispatched at run time.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "engine/noise/noise_simd.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

#include "engine/noise/noise_simd.h"

HWY_BEFORE_NAMESPACE();
namespace quillon {
namespace HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;

using DF = hn::ScalableTag<double>;
using DI = hn::Rebind<std::int32_t, DF>;
using VF = hn::Vec<DF>;

HWY_INLINE VF Lerp(VF t, VF a, VF b) {
    return hn::Add(a, hn::Mul(t, hn::Sub(b, a)));
}

std::size_t SplitVectors(const double* c, std::int32_t* cell, double* fraction, std::size_t n,
                         bool& wide) {
    const DF df;
    const DI di;
    const std::size_t lanes = hn::Lanes(df);
    const VF limit = hn::Set(df, 2147483648.0);
    std::size_t i = 0;
    for (; i + lanes <= n; i += lanes) {
        const VF v = hn::LoadU(df, c + i);
        const VF f = hn::Floor(v);
        if (!hn::AllTrue(df, hn::Lt(hn::Abs(f), limit))) wide = true;
        hn::StoreU(hn::DemoteTo(di, f), di, cell + i);
        hn::StoreU(hn::Sub(v, f), df, fraction + i);
    }
    return i;
}

std::size_t BlendRun(const double* const cell[8], const double* fx, const double* fy,
                     const double* fz, double* out, std::size_t n) {
    const DF df;
    const std::size_t lanes = hn::Lanes(df);
    if (n < lanes) return 0;
    const VF one = hn::Set(df, 1.0), two = hn::Set(df, 2.0), three = hn::Set(df, 3.0);
    VF corner[24];
    for (int c = 0; c < 8; ++c) {
        for (int k = 0; k < 3; ++k) corner[3 * c + k] = hn::Set(df, cell[c][k]);
    }
    std::size_t i = 0;
    for (; i + lanes <= n; i += lanes) {
        const VF fx0 = hn::LoadU(df, fx + i), fy0 = hn::LoadU(df, fy + i),
                 fz0 = hn::LoadU(df, fz + i);
        const VF fx1 = hn::Sub(fx0, one), fy1 = hn::Sub(fy0, one), fz1 = hn::Sub(fz0, one);
        const VF wx = hn::Mul(hn::Mul(fx0, fx0), hn::Sub(three, hn::Mul(two, fx0)));
        const VF wy = hn::Mul(hn::Mul(fy0, fy0), hn::Sub(three, hn::Mul(two, fy0)));
        const VF wz = hn::Mul(hn::Mul(fz0, fz0), hn::Sub(three, hn::Mul(two, fz0)));
        const auto g = [&](int c, VF a, VF b, VF d) {
            return hn::Add(hn::Add(hn::Mul(corner[3 * c], a), hn::Mul(corner[3 * c + 1], b)),
                           hn::Mul(corner[3 * c + 2], d));
        };
        VF ya = Lerp(wx, g(0, fx0, fy0, fz0), g(1, fx1, fy0, fz0));
        VF yb = Lerp(wx, g(2, fx0, fy1, fz0), g(3, fx1, fy1, fz0));
        const VF vz0 = Lerp(wy, ya, yb);
        ya = Lerp(wx, g(4, fx0, fy0, fz1), g(5, fx1, fy0, fz1));
        yb = Lerp(wx, g(6, fx0, fy1, fz1), g(7, fx1, fy1, fz1));
        const VF vz1 = Lerp(wy, ya, yb);
        hn::StoreU(Lerp(wz, vz0, vz1), df, out + i);
    }
    return i;
}

// Catmull-Rom through four knots at u, as ValueNoise3D::Spline with n = 4
// (t in [0, 1) there, so span 0 and u = t).
HWY_INLINE VF Spline4(DF df, VF u, VF a, VF b, VF c, VF d) {
    const VF h = hn::Set(df, 0.5), h3 = hn::Set(df, 1.5), f25 = hn::Set(df, 2.5),
             two = hn::Set(df, 2.0);
    const VF mh = hn::Set(df, -0.5);
    // c3 = -0.5a + 1.5b - 1.5c + 0.5d, left to right.
    const VF c3 =
        hn::Add(hn::Sub(hn::Add(hn::Mul(mh, a), hn::Mul(h3, b)), hn::Mul(h3, c)), hn::Mul(h, d));
    // c2 = a - 2.5b + 2c - 0.5d
    const VF c2 = hn::Sub(hn::Add(hn::Sub(a, hn::Mul(f25, b)), hn::Mul(two, c)), hn::Mul(h, d));
    // c1 = -0.5a + 0.5c
    const VF c1 = hn::Add(hn::Mul(mh, a), hn::Mul(h, c));
    return hn::Add(hn::Mul(hn::Add(hn::Mul(hn::Add(hn::Mul(c3, u), c2), u), c1), u), b);
}

std::size_t ValueRunVectors(const double* rows, const double* fx, const double* fy,
                            const double* fz, double* out, std::size_t n) {
    const DF df;
    const std::size_t lanes = hn::Lanes(df);
    if (n < lanes) return 0;
    VF c[64];
    for (int k = 0; k < 64; ++k) c[k] = hn::Set(df, rows[k]);
    std::size_t i = 0;
    for (; i + lanes <= n; i += lanes) {
        const VF u = hn::LoadU(df, fx + i);
        const VF v = hn::LoadU(df, fy + i);
        VF zKnots[4];
        for (int dz = 0; dz < 4; ++dz) {
            VF yKnots[4];
            for (int dy = 0; dy < 4; ++dy) {
                const VF* r = c + 16 * dz + 4 * dy;
                yKnots[dy] = hn::Add(
                    hn::Mul(hn::Add(hn::Mul(hn::Add(hn::Mul(r[0], u), r[1]), u), r[2]), u), r[3]);
            }
            zKnots[dz] = Spline4(df, v, yKnots[0], yKnots[1], yKnots[2], yKnots[3]);
        }
        hn::StoreU(Spline4(df, hn::LoadU(df, fz + i), zKnots[0], zKnots[1], zKnots[2], zKnots[3]),
                   df, out + i);
    }
    return i;
}

// One tap's term at the points fx, fy, fz: the table index is floored and
// clamped as a double, then read out of its exact integer bits.
struct TapFilter {
    DF df;
    hn::RebindToSigned<DF> di;
    const double* filter;
    VF rate, count, half = hn::Set(df, 0.5), magic = hn::Set(df, 4503599627370496.0);
    hn::Vec<hn::RebindToSigned<DF>> magicBits = hn::BitCast(di, magic);

    HWY_INLINE VF Term(VF fx, VF fy, VF fz, VF cx, VF cy, VF cz, VF w) const {
        const VF ex = hn::Sub(fx, cx), ey = hn::Sub(fy, cy), ez = hn::Sub(fz, cz);
        const VF d2 = hn::Add(hn::Add(hn::Mul(ex, ex), hn::Mul(ey, ey)), hn::Mul(ez, ez));
        const VF index = hn::Min(hn::Floor(hn::Add(hn::Mul(d2, rate), half)), count);
        const auto entry = hn::Sub(hn::BitCast(di, hn::Add(index, magic)), magicBits);
        return hn::Mul(hn::GatherIndex(df, filter, entry), w);
    }
};

std::size_t ConvolutionSumsVectors(const double* cx, const double* cy, const double* cz,
                                   const double* w, int taps, const double* filter, double count,
                                   double rate, const double* fx, const double* fy,
                                   const double* fz, double* sum, std::size_t n) {
    const DF df;
    const std::size_t lanes = hn::Lanes(df);
    const TapFilter tap{df, {}, filter, hn::Set(df, rate), hn::Set(df, count)};
    std::size_t i = 0;
    // Two vectors at a time share the taps' loads and overlap the gathers.
    for (; i + 2 * lanes <= n; i += 2 * lanes) {
        const VF fx0 = hn::LoadU(df, fx + i), fy0 = hn::LoadU(df, fy + i),
                 fz0 = hn::LoadU(df, fz + i);
        const VF fx1 = hn::LoadU(df, fx + i + lanes), fy1 = hn::LoadU(df, fy + i + lanes),
                 fz1 = hn::LoadU(df, fz + i + lanes);
        VF s0 = hn::Zero(df), s1 = hn::Zero(df);
        for (int t = 0; t < taps; ++t) {
            const VF x = hn::Set(df, cx[t]), y = hn::Set(df, cy[t]), z = hn::Set(df, cz[t]),
                     wt = hn::Set(df, w[t]);
            s0 = hn::Add(s0, tap.Term(fx0, fy0, fz0, x, y, z, wt));
            s1 = hn::Add(s1, tap.Term(fx1, fy1, fz1, x, y, z, wt));
        }
        hn::StoreU(s0, df, sum + i);
        hn::StoreU(s1, df, sum + i + lanes);
    }
    for (; i + lanes <= n; i += lanes) {
        const VF fx0 = hn::LoadU(df, fx + i), fy0 = hn::LoadU(df, fy + i),
                 fz0 = hn::LoadU(df, fz + i);
        VF s0 = hn::Zero(df);
        for (int t = 0; t < taps; ++t) {
            s0 = hn::Add(s0, tap.Term(fx0, fy0, fz0, hn::Set(df, cx[t]), hn::Set(df, cy[t]),
                                      hn::Set(df, cz[t]), hn::Set(df, w[t])));
        }
        hn::StoreU(s0, df, sum + i);
    }
    return i;
}

}  // namespace
}  // namespace HWY_NAMESPACE
}  // namespace quillon
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace quillon {

HWY_EXPORT(BlendRun);
HWY_EXPORT(SplitVectors);
HWY_EXPORT(ValueRunVectors);
HWY_EXPORT(ConvolutionSumsVectors);

std::size_t SplitMany(const double* c, std::int32_t* cell, double* fraction, std::size_t n,
                      bool& wide) {
    return HWY_DYNAMIC_DISPATCH(SplitVectors)(c, cell, fraction, n, wide);
}

std::size_t GradientBlendRun(const double* const cell[8], const double* fx, const double* fy,
                             const double* fz, double* out, std::size_t n) {
    return HWY_DYNAMIC_DISPATCH(BlendRun)(cell, fx, fy, fz, out, n);
}

std::size_t ValueRun(const double* rows, const double* fx, const double* fy, const double* fz,
                     double* out, std::size_t n) {
    return HWY_DYNAMIC_DISPATCH(ValueRunVectors)(rows, fx, fy, fz, out, n);
}

std::size_t ConvolutionSums(const double* cx, const double* cy, const double* cz, const double* w,
                            int taps, const double* filter, double count, double rate,
                            const double* fx, const double* fy, const double* fz, double* sum,
                            std::size_t n) {
    return HWY_DYNAMIC_DISPATCH(ConvolutionSumsVectors)(cx, cy, cz, w, taps, filter, count, rate,
                                                        fx, fy, fz, sum, n);
}

}  // namespace quillon
#endif
