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

// The filter at squared distances d2: the table index is floored and
// clamped as a double (the table ends in 0), then read out of its exact
// integer bits.
struct TapFilter {
    DF df;
    hn::RebindToSigned<DF> di;
    const double* table;
    VF rate, count, half = hn::Set(df, 0.5), magic = hn::Set(df, 4503599627370496.0);
    hn::Vec<hn::RebindToSigned<DF>> magicBits = hn::BitCast(di, magic);

    HWY_INLINE VF operator()(VF d2) const {
        const VF index = hn::Min(hn::Floor(hn::Add(hn::Mul(d2, rate), half)), count);
        const auto entry = hn::Sub(hn::BitCast(di, hn::Add(index, magic)), magicBits);
#if HWY_TARGET == HWY_AVX2
        // Some AVX2 processors microcode the gather instruction: four loads
        // paired into halves take about half its time there.
        HWY_ALIGN std::int64_t e[4];
        hn::Store(entry, di, e);
        const __m128d low = _mm_loadh_pd(_mm_load_sd(table + e[0]), table + e[1]);
        const __m128d high = _mm_loadh_pd(_mm_load_sd(table + e[2]), table + e[3]);
        return VF{_mm256_insertf128_pd(_mm256_castpd128_pd256(low), high, 1)};
#else
        return hn::GatherIndex(df, table, entry);
#endif
    }
};

// Taps anywhere: d2 from the three differences.
struct FreeTaps {
    const double *cx, *cy, *cz, *w;
    int taps;

    struct Points {
        VF x, y, z;
    };
    HWY_INLINE Points Prepare(DF, VF fx, VF fy, VF fz) const { return {fx, fy, fz}; }
    HWY_INLINE VF D2(DF df, const Points& p, int t) const {
        const VF ex = hn::Sub(p.x, hn::Set(df, cx[t])), ey = hn::Sub(p.y, hn::Set(df, cy[t])),
                 ez = hn::Sub(p.z, hn::Set(df, cz[t]));
        return hn::Add(hn::Add(hn::Mul(ex, ex), hn::Mul(ey, ey)), hn::Mul(ez, ez));
    }
};

// Taps on the lattice points -1 .. 2 around the cell: the squares per axis
// and the x-y sums are shared by the taps.
struct LatticeTaps {
    const std::uint8_t* offset;
    const double* w;
    int taps;

    struct Points {
        VF xy[16], z[4];
    };
    HWY_INLINE Points Prepare(DF df, VF fx, VF fy, VF fz) const {
        Points p;
        VF sx[4], sy[4];
        for (int d = 0; d < 4; ++d) {
            const VF c = hn::Set(df, d - 1.0);
            const VF ex = hn::Sub(fx, c), ey = hn::Sub(fy, c), ez = hn::Sub(fz, c);
            sx[d] = hn::Mul(ex, ex);
            sy[d] = hn::Mul(ey, ey);
            p.z[d] = hn::Mul(ez, ez);
        }
        for (int b = 0; b < 4; ++b) {
            for (int a = 0; a < 4; ++a) p.xy[4 * b + a] = hn::Add(sx[a], sy[b]);
        }
        return p;
    }
    HWY_INLINE VF D2(DF, const Points& p, int t) const {
        const unsigned o = offset[t];
        return hn::Add(p.xy[o & 15], p.z[o >> 4]);
    }
};

// Sums of all n points, two vectors at a time (they share the taps' loads
// and overlap the gathers); a last part vector is padded with its last point.
template <class Taps>
void RunSums(const Taps& taps, const double* table, double count, double rate, const double* fx,
             const double* fy, const double* fz, double* sum, std::size_t n) {
    const DF df;
    const std::size_t lanes = hn::Lanes(df);
    const TapFilter filter{df, {}, table, hn::Set(df, rate), hn::Set(df, count)};
    const double* w = taps.w;
    std::size_t i = 0;
    for (; i + 2 * lanes <= n; i += 2 * lanes) {
        const typename Taps::Points p0 =
            taps.Prepare(df, hn::LoadU(df, fx + i), hn::LoadU(df, fy + i), hn::LoadU(df, fz + i));
        const typename Taps::Points p1 =
            taps.Prepare(df, hn::LoadU(df, fx + i + lanes), hn::LoadU(df, fy + i + lanes),
                         hn::LoadU(df, fz + i + lanes));
        VF s0 = hn::Zero(df), s1 = hn::Zero(df);
        for (int t = 0; t < taps.taps; ++t) {
            const VF wt = hn::Set(df, w[t]);
            s0 = hn::Add(s0, hn::Mul(filter(taps.D2(df, p0, t)), wt));
            s1 = hn::Add(s1, hn::Mul(filter(taps.D2(df, p1, t)), wt));
        }
        hn::StoreU(s0, df, sum + i);
        hn::StoreU(s1, df, sum + i + lanes);
    }
    while (i < n) {
        constexpr std::size_t kMax = HWY_MAX_BYTES / sizeof(double);
        HWY_ALIGN double px[kMax], py[kMax], pz[kMax], ps[kMax];
        const std::size_t m = n - i < lanes ? n - i : lanes;
        for (std::size_t k = 0; k < lanes; ++k) {
            const std::size_t from = i + (k < m ? k : m - 1);
            px[k] = fx[from];
            py[k] = fy[from];
            pz[k] = fz[from];
        }
        const typename Taps::Points p =
            taps.Prepare(df, hn::Load(df, px), hn::Load(df, py), hn::Load(df, pz));
        VF s = hn::Zero(df);
        for (int t = 0; t < taps.taps; ++t) {
            s = hn::Add(s, hn::Mul(filter(taps.D2(df, p, t)), hn::Set(df, w[t])));
        }
        hn::Store(s, df, ps);
        for (std::size_t k = 0; k < m; ++k) sum[i + k] = ps[k];
        i += m;
    }
}

void FreeTapSums(const double* cx, const double* cy, const double* cz, const double* w, int taps,
                 const double* table, double count, double rate, const double* fx, const double* fy,
                 const double* fz, double* sum, std::size_t n) {
    RunSums(FreeTaps{cx, cy, cz, w, taps}, table, count, rate, fx, fy, fz, sum, n);
}

void LatticeTapSums(const std::uint8_t* offset, const double* w, int taps, const double* table,
                    double count, double rate, const double* fx, const double* fy, const double* fz,
                    double* sum, std::size_t n) {
    RunSums(LatticeTaps{offset, w, taps}, table, count, rate, fx, fy, fz, sum, n);
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
HWY_EXPORT(FreeTapSums);
HWY_EXPORT(LatticeTapSums);

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

void ConvolutionSums(const double* cx, const double* cy, const double* cz, const double* w,
                     int taps, const double* filter, double count, double rate, const double* fx,
                     const double* fy, const double* fz, double* sum, std::size_t n) {
    HWY_DYNAMIC_DISPATCH(FreeTapSums)(cx, cy, cz, w, taps, filter, count, rate, fx, fy, fz, sum, n);
}

void LatticeConvolutionSums(const std::uint8_t* offset, const double* w, int taps,
                            const double* filter, double count, double rate, const double* fx,
                            const double* fy, const double* fz, double* sum, std::size_t n) {
    HWY_DYNAMIC_DISPATCH(LatticeTapSums)(offset, w, taps, filter, count, rate, fx, fy, fz, sum, n);
}

}  // namespace quillon
#endif
