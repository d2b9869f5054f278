// Reaction-diffusion rows, compiled once per instruction set by Highway's
// foreach_target and dispatched at run time.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "engine/reaction_diffusion_simd.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

#include "engine/reaction_diffusion_simd.h"

HWY_BEFORE_NAMESPACE();
namespace quillon {
namespace HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;

int Row(const float* sa, const float* sb, const float* aUp, const float* aMid, const float* aDown,
        const float* bUp, const float* bMid, const float* bDown, float dt, float decayA,
        float sourceB, int width, float* nextA, float* nextB) {
    const hn::ScalableTag<float> d;
    using V = hn::Vec<decltype(d)>;
    const int lanes = static_cast<int>(hn::Lanes(d));
    V ka[9], kb[9];
    for (int k = 0; k < 9; ++k) {
        ka[k] = hn::Set(d, sa[k]);
        kb[k] = hn::Set(d, sb[k]);
    }
    const V vdt = hn::Set(d, dt), vdecay = hn::Set(d, decayA), vsource = hn::Set(d, sourceB),
            zero = hn::Zero(d);
    // s0 * up[x-1] + s1 * up[x] + ... + s8 * down[x+1], summed left to right.
    const auto weighted = [&](const V* s, const float* up, const float* mid, const float* down,
                              int x) {
        V sum = hn::Mul(s[0], hn::LoadU(d, up + x - 1));
        sum = hn::Add(sum, hn::Mul(s[1], hn::LoadU(d, up + x)));
        sum = hn::Add(sum, hn::Mul(s[2], hn::LoadU(d, up + x + 1)));
        sum = hn::Add(sum, hn::Mul(s[3], hn::LoadU(d, mid + x - 1)));
        sum = hn::Add(sum, hn::Mul(s[4], hn::LoadU(d, mid + x)));
        sum = hn::Add(sum, hn::Mul(s[5], hn::LoadU(d, mid + x + 1)));
        sum = hn::Add(sum, hn::Mul(s[6], hn::LoadU(d, down + x - 1)));
        sum = hn::Add(sum, hn::Mul(s[7], hn::LoadU(d, down + x)));
        return hn::Add(sum, hn::Mul(s[8], hn::LoadU(d, down + x + 1)));
    };
    int x = 1;
    for (; x + lanes <= width - 1; x += lanes) {
        const V la = weighted(ka, aUp, aMid, aDown, x);
        const V lb = weighted(kb, bUp, bMid, bDown, x);
        const V av = hn::LoadU(d, aMid + x);
        const V bv = hn::LoadU(d, bMid + x);
        const V ab = hn::Mul(av, bv);
        // av + dt * (la + ab - av - decay); bv + dt * (lb + source - ab)
        const V na = hn::Add(av, hn::Mul(vdt, hn::Sub(hn::Sub(hn::Add(la, ab), av), vdecay)));
        const V nb = hn::Add(bv, hn::Mul(vdt, hn::Sub(hn::Add(lb, vsource), ab)));
        // Not above 0 (NaN included) becomes 0.
        hn::StoreU(hn::IfThenElse(hn::Gt(na, zero), na, zero), d, nextA + x);
        hn::StoreU(hn::IfThenElse(hn::Gt(nb, zero), nb, zero), d, nextB + x);
    }
    return x;
}

}  // namespace
}  // namespace HWY_NAMESPACE
}  // namespace quillon
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace quillon {

HWY_EXPORT(Row);

int ReactionDiffusionRow(const float* sa, const float* sb, const float* aUp, const float* aMid,
                         const float* aDown, const float* bUp, const float* bMid,
                         const float* bDown, float dt, float decayA, float sourceB, int width,
                         float* nextA, float* nextB) {
    return HWY_DYNAMIC_DISPATCH(Row)(sa, sb, aUp, aMid, aDown, bUp, bMid, bDown, dt, decayA,
                                     sourceB, width, nextA, nextB);
}

}  // namespace quillon
#endif
