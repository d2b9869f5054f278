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
using DL = hn::RebindToSigned<DF>;
using VF = hn::Vec<DF>;
using VI = hn::Vec<DI>;

// Floor and cell of one coordinate vector; false when a lane's cell is
// outside int's range or not finite (the scalar path wraps those).
HWY_INLINE bool SplitAxis(DF df, DI di, VF c, VI& cell, VF& fraction) {
    const VF f = hn::Floor(c);
    if (!hn::AllTrue(df, hn::Lt(hn::Abs(f), hn::Set(df, 2147483648.0)))) return false;
    cell = hn::DemoteTo(di, f);
    fraction = hn::Sub(c, f);
    return true;
}

HWY_INLINE VF Lerp(VF t, VF a, VF b) { return hn::Add(a, hn::Mul(t, hn::Sub(b, a))); }

struct Lattice {
    DF df;
    DI di;
    DL dl;
    const std::int32_t* permutation;
    VI mask;
    const double* values;

    // Permutation entry of n (wrapping 32-bit lattice arithmetic as scalar).
    HWY_INLINE VI P(VI n) const { return hn::GatherIndex(di, permutation, hn::And(n, mask)); }
    // Offsets into values of entries h of `stride` values each.
    HWY_INLINE hn::Vec<DL> Offsets(VI h, int stride) const {
        VI o = h;
        for (int s = 1; s < stride; ++s) o = hn::Add(o, h);
        return hn::PromoteTo(dl, o);
    }
};

std::size_t SplitVectors(const double* c, std::int32_t* cell, double* fraction, std::size_t n, bool& wide) {
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

std::size_t BlendRun(const double* const cell[8], const double* fx, const double* fy, const double* fz,
                     double* out, std::size_t n) {
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
        const VF fx0 = hn::LoadU(df, fx + i), fy0 = hn::LoadU(df, fy + i), fz0 = hn::LoadU(df, fz + i);
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
    const VF h = hn::Set(df, 0.5), h3 = hn::Set(df, 1.5), f25 = hn::Set(df, 2.5), two = hn::Set(df, 2.0);
    const VF mh = hn::Set(df, -0.5);
    // c3 = -0.5a + 1.5b - 1.5c + 0.5d, left to right.
    const VF c3 = hn::Add(hn::Sub(hn::Add(hn::Mul(mh, a), hn::Mul(h3, b)), hn::Mul(h3, c)), hn::Mul(h, d));
    // c2 = a - 2.5b + 2c - 0.5d
    const VF c2 = hn::Sub(hn::Add(hn::Sub(a, hn::Mul(f25, b)), hn::Mul(two, c)), hn::Mul(h, d));
    // c1 = -0.5a + 0.5c
    const VF c1 = hn::Add(hn::Mul(mh, a), hn::Mul(h, c));
    return hn::Add(hn::Mul(hn::Add(hn::Mul(hn::Add(hn::Mul(c3, u), c2), u), c1), u), b);
}

std::size_t ValueMany(const LatticeTables& tables, const double* x, const double* y, const double* z,
                      double* out, std::size_t n) {
    const DF df;
    const Lattice lat{df, DI(), DL(), tables.permutation, hn::Set(DI(), tables.mask), tables.values};
    const std::size_t lanes = hn::Lanes(df);
    const VF zero = hn::Zero(df), one = hn::Set(df, 1.0);
    std::size_t i = 0;
    for (; i + lanes <= n; i += lanes) {
        VI ix, iy, iz;
        VF fx, fy, fz;
        if (!SplitAxis(df, lat.di, hn::LoadU(df, x + i), ix, fx)) break;
        if (!SplitAxis(df, lat.di, hn::LoadU(df, y + i), iy, fy)) break;
        if (!SplitAxis(df, lat.di, hn::LoadU(df, z + i), iz, fz)) break;
        // The scalar spline clamps t to [0, 1]; a fraction already lies there.
        fx = hn::Min(hn::Max(fx, zero), one);
        fy = hn::Min(hn::Max(fy, zero), one);
        fz = hn::Min(hn::Max(fz, zero), one);
        VF zKnots[4];
        for (int dz = -1; dz <= 2; ++dz) {
            const VI pk = lat.P(hn::Add(iz, hn::Set(lat.di, dz)));
            VF yKnots[4];
            for (int dy = -1; dy <= 2; ++dy) {
                const VI pjk = lat.P(hn::Add(hn::Add(iy, hn::Set(lat.di, dy)), pk));
                VF xKnots[4];
                for (int dx = -1; dx <= 2; ++dx) {
                    const VI h = lat.P(hn::Add(hn::Add(ix, hn::Set(lat.di, dx)), pjk));
                    xKnots[dx + 1] = hn::GatherIndex(df, lat.values, lat.Offsets(h, 1));
                }
                yKnots[dy + 1] = Spline4(df, fx, xKnots[0], xKnots[1], xKnots[2], xKnots[3]);
            }
            zKnots[dz + 1] = Spline4(df, fy, yKnots[0], yKnots[1], yKnots[2], yKnots[3]);
        }
        hn::StoreU(Spline4(df, fz, zKnots[0], zKnots[1], zKnots[2], zKnots[3]), df, out + i);
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
HWY_EXPORT(ValueMany);

std::size_t SplitMany(const double* c, std::int32_t* cell, double* fraction, std::size_t n, bool& wide) {
    return HWY_DYNAMIC_DISPATCH(SplitVectors)(c, cell, fraction, n, wide);
}

std::size_t GradientBlendRun(const double* const cell[8], const double* fx, const double* fy, const double* fz,
                             double* out, std::size_t n) {
    return HWY_DYNAMIC_DISPATCH(BlendRun)(cell, fx, fy, fz, out, n);
}

std::size_t ValueNoiseMany(const LatticeTables& tables, const double* x, const double* y,
                           const double* z, double* out, std::size_t n) {
    return HWY_DYNAMIC_DISPATCH(ValueMany)(tables, x, y, z, out, n);
}

}  // namespace quillon
#endif
