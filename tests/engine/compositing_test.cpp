#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/base_layer.h"

namespace quillon {
namespace {

struct ColourCase {
    CombineFunc function;
    float below, layer, alpha, transparency, expected;
};

TEST(CompositeColor, EveryFunctionWithoutMask) {
    const ColourCase cases[] = {
        {CombineFunc::Opaque, 0.2f, 0.8f, 1.0f, 0, 0.8f},
        {CombineFunc::Opaque, 0.2f, 0.8f, 0.0f, 0, 0.2f},
        {CombineFunc::Opaque, 0.2f, 0.8f, 0.5f, 0, 0.5f},
        {CombineFunc::Transparent, 0.2f, 0.8f, 1.0f, 1.0f, 0.2f},
        {CombineFunc::Transparent, 0.2f, 0.8f, 1.0f, 0.0f, 0.8f},
        {CombineFunc::Transparent, 0.2f, 0.8f, 1.0f, 0.25f, 0.65f},
        {CombineFunc::Shade, 0.3f, 0.5f, 1.0f, 0, 0.3f},
        {CombineFunc::Shade, 0.9f, 1.0f, 1.0f, 0, 1.0f},
        {CombineFunc::Shade, 0.1f, 0.0f, 1.0f, 0, 0.0f},
        {CombineFunc::Additive, 0.6f, 0.7f, 1.0f, 0, 1.0f},
        {CombineFunc::Additive, 0.2f, 0.4f, 0.5f, 0, 0.4f},
        {CombineFunc::Subtractive, 0.2f, 0.7f, 1.0f, 0, 0.0f},
        {CombineFunc::Subtractive, 0.9f, 0.4f, 0.5f, 0, 0.7f},
        {CombineFunc::Multiply, 0.6f, 1.0f, 1.0f, 0, 0.6f},
        {CombineFunc::Multiply, 0.6f, 0.0f, 1.0f, 0, 0.0f},
        {CombineFunc::Multiply, 0.6f, 0.0f, 0.0f, 0, 0.6f},
    };
    for (const ColourCase& c : cases) {
        std::vector<float> dst{c.below, c.below, c.below, c.below, c.below, c.below};
        const std::vector<float> src(6, c.layer);
        const std::vector<float> alpha(2, c.alpha);
        CompositeColor(c.function, dst.data(), src.data(), alpha.data(), nullptr, 2,
                       c.transparency);
        for (float v : dst) {
            EXPECT_NEAR(v, c.expected, 1e-6)
                << static_cast<int>(c.function) << " below " << c.below;
        }
    }
}

TEST(CompositeColor, MaskKeepsWhiteShowsBlackPerChannel) {
    std::vector<float> dst{0.2f, 0.2f, 0.2f};
    const std::vector<float> src{0.8f, 0.8f, 0.8f};
    const std::vector<float> alpha{1.0f};
    const std::vector<float> mask{1.0f, 0.0f, 0.5f};  // red kept, green through, blue half
    CompositeColor(CombineFunc::Opaque, dst.data(), src.data(), alpha.data(), mask.data(), 1, 0);
    EXPECT_FLOAT_EQ(dst[0], 0.2f);
    EXPECT_FLOAT_EQ(dst[1], 0.8f);
    EXPECT_FLOAT_EQ(dst[2], 0.5f);

    // A white mask makes any function a no-op.
    for (int f = 0; f <= 5; ++f) {
        std::vector<float> d{0.3f, 0.6f, 0.9f};
        const std::vector<float> white(3, 1.0f);
        CompositeColor(static_cast<CombineFunc>(f), d.data(), src.data(), alpha.data(),
                       white.data(), 1, 0.5f);
        EXPECT_EQ(d, (std::vector<float>{0.3f, 0.6f, 0.9f})) << f;
    }
}

TEST(CompositeColor, DisableTouchesNothing) {
    std::vector<float> dst{0.1f, 0.2f, 0.3f};
    const std::vector<float> src(3, 0.9f), alpha(1, 1.0f);
    CompositeColor(CombineFunc::Disable, dst.data(), src.data(), alpha.data(), nullptr, 1, 0);
    EXPECT_EQ(dst, (std::vector<float>{0.1f, 0.2f, 0.3f}));
}

// In place onto black must give CompositeColor's bits over zeros, odd
// values (negative, NaN, infinite) and masks included.
TEST(CompositeColor, OntoBlackInPlaceEqualsOverZeros) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> src{0.8f, -0.0f, 1.7f, -2.5f, nan, inf, 0.3f, 0.5f, -inf};
    const std::vector<float> alpha{0.25f, 1.0f, -0.5f};
    const std::vector<float> mask{0.0f, 0.5f, 1.0f, nan, -1.0f, 0.25f, inf, 0.75f, 2.0f};
    for (int f = 0; f < static_cast<int>(kCombineFuncCount); ++f) {
        const auto function = static_cast<CombineFunc>(f);
        for (const float* m : {static_cast<const float*>(nullptr), mask.data()}) {
            std::vector<float> over(9, 0.0f);
            CompositeColor(function, over.data(), src.data(), alpha.data(), m, 3, 0.3f);
            std::vector<float> inPlace = src;
            CompositeColorOntoBlack(function, inPlace.data(), alpha.data(), m, 3, 0.3f);
            if (function == CombineFunc::Disable) continue;  // composites nothing either way
            EXPECT_EQ(0, std::memcmp(over.data(), inPlace.data(), over.size() * sizeof(float)))
                << "function " << f << (m ? " masked" : "");
        }
    }
}

TEST(CompositeValue, EveryFunctionUnclampedAndMasked) {
    struct Case {
        CombineFunc f;
        float v, s, w, expected;
    };
    const Case cases[] = {
        {CombineFunc::Opaque, 0.3f, 0.9f, 0, 0.9f},
        {CombineFunc::Transparent, 0.3f, 0.9f, 1.0f, 0.3f},
        {CombineFunc::Transparent, 0.3f, 0.9f, 0.5f, 0.6f},
        {CombineFunc::Shade, 0.3f, 0.5f, 0, 0.3f},
        {CombineFunc::Additive, 0.8f, 0.9f, 0, 1.7f},
        {CombineFunc::Subtractive, 0.2f, 0.9f, 0, -0.7f},
        {CombineFunc::Multiply, 0.5f, 0.0f, 0, 0.0f},
        {CombineFunc::Multiply, 0.5f, 3.0f, 0, 1.5f},
    };
    for (const Case& c : cases) {
        std::vector<float> v{c.v};
        const std::vector<float> s{c.s};
        CompositeValue(c.f, v.data(), s.data(), nullptr, 1, c.w);
        EXPECT_NEAR(v[0], c.expected, 1e-6) << static_cast<int>(c.f);

        std::vector<float> masked{c.v};
        const std::vector<float> half{0.5f};
        CompositeValue(c.f, masked.data(), s.data(), half.data(), 1, c.w);
        EXPECT_NEAR(masked[0], 0.5f * c.expected + 0.5f * c.v, 1e-6) << static_cast<int>(c.f);
    }
}

TEST(Luminance, InPlaceForward) {
    std::vector<float> rgb{1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1};
    LuminanceInPlace(rgb.data(), 4);
    EXPECT_FLOAT_EQ(rgb[0], 0.299f);
    EXPECT_FLOAT_EQ(rgb[1], 0.587f);
    EXPECT_FLOAT_EQ(rgb[2], 0.114f);
    EXPECT_NEAR(rgb[3], 1.0f, 1e-6);
}

TEST(TruncToInt, Saturates) {
    EXPECT_EQ(TruncToInt(2.7), 2);
    EXPECT_EQ(TruncToInt(-2.7), -2);
    EXPECT_EQ(TruncToInt(1e30), 2147483647);
    EXPECT_EQ(TruncToInt(-1e30), -2147483647 - 1);
    EXPECT_EQ(TruncToInt(std::nan("")), 0);
}

}  // namespace
}  // namespace quillon
